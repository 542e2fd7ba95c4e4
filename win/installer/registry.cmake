# cmake -DIDL=R58267.idl -DTABLE=class_registration.inc -DARCH=x86|x64
#       -DOUTPUT=registry.wxi -P registry.cmake
#
# Writes the installer's registry entries (a WiX include of RegistryValue
# elements under HKCR) from the facts DllRegisterServer registers from:
# the class's values from the table registration.cpp writes
# (class_registration.inc), and what LoadTypeLibEx registers from the type
# library, read from R58267.idl: the library's version key, and each dual or
# oleautomation interface except the host library's. $PATH becomes the
# installed DLL's path, [#$(var.DllId)], the wxs naming the file.
cmake_minimum_required(VERSION 3.25)
foreach(variable IDL TABLE ARCH OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "registry.cmake: -D${variable}= is missing")
  endif()
endforeach()

file(READ "${IDL}" idl)
# The IID written as a macro at the top of the file.
string(REGEX MATCHALL "#define[ \t]+[A-Za-z0-9_]+[ \t]+[0-9A-Fa-f-]+" defines "${idl}")
foreach(define IN LISTS defines)
  string(REGEX REPLACE "#define[ \t]+([A-Za-z0-9_]+)[ \t]+([0-9A-Fa-f-]+)" "\\1;\\2" pair "${define}")
  list(GET pair 0 name)
  list(GET pair 1 value)
  string(REPLACE "uuid(${name})" "uuid(${value})" idl "${idl}")
endforeach()

# Each definition's attribute block, kind and name: "[…] interface Name".
string(REGEX MATCHALL "\\[[^]]*\\][ \t\r\n]*(interface|library|coclass)[ \t]+[A-Za-z0-9_]+" definitions "${idl}")
set(interfaces "")
foreach(definition IN LISTS definitions)
  if(NOT definition MATCHES "uuid\\(([0-9A-Fa-f-]+)\\)")
    continue()  # a coclass's member, "[default] interface _Module"
  endif()
  string(TOUPPER "{${CMAKE_MATCH_1}}" guid)
  string(REGEX MATCH "(interface|library|coclass)[ \t]+([A-Za-z0-9_]+)$" _ "${definition}")
  set(kind "${CMAKE_MATCH_1}")
  set(name "${CMAKE_MATCH_2}")
  if(kind STREQUAL "library")
    set(libid "${guid}")
    string(REGEX MATCH "version\\(([0-9]+\\.[0-9]+)\\)" _ "${definition}")
    set(libversion "${CMAKE_MATCH_1}")
    string(REGEX MATCH "helpstring\\(\"([^\"]*)\"\\)" _ "${definition}")
    set(libhelp "${CMAKE_MATCH_1}")
    # LIBFLAG_FRESTRICTED, FCONTROL, FHIDDEN.
    set(libflags 0)
    foreach(flag restricted:1 control:2 hidden:4)
      string(REPLACE ":" ";" flag "${flag}")
      list(GET flag 0 attribute)
      list(GET flag 1 bit)
      if(definition MATCHES "[[, \t\r\n]${attribute}[], \t\r\n]")
        math(EXPR libflags "${libflags} | ${bit}")
      endif()
    endforeach()
  elseif(kind STREQUAL "coclass")
    set(clsid "${guid}")
  elseif(definition MATCHES "[[, \t\r\n](dual|oleautomation)[], \t\r\n]")
    list(APPEND interfaces "${name}=${guid}")
  endif()
endforeach()
foreach(fact libid libversion libhelp clsid)
  if("${${fact}}" STREQUAL "")
    message(FATAL_ERROR "registry.cmake: no ${fact} found in ${IDL}")
  endif()
endforeach()

set(path "[#$(var.DllId)]")
set(entries "")
# entry(KEY NAME DATA): one RegistryValue; NAME "" is the default value.
function(entry key name data)
  foreach(text key name data)
    string(REPLACE "&" "&amp;" ${text} "${${text}}")
    string(REPLACE "<" "&lt;" ${text} "${${text}}")
    string(REPLACE "\"" "&quot;" ${text} "${${text}}")
  endforeach()
  if(name STREQUAL "")
    set(attributes "Key=\"${key}\"")
  else()
    set(attributes "Key=\"${key}\" Name=\"${name}\"")
  endif()
  set(entries "${entries}  <RegistryValue Root=\"HKCR\" ${attributes} Type=\"string\" Value=\"${data}\" />\n"
      PARENT_SCOPE)
endfunction()

# The class, from the table.
file(STRINGS "${TABLE}" lines REGEX "^R58267_(PROGID|VALUE|HOST_INTERFACE)\\(")
set(host_interfaces "")
set(values "")
foreach(line IN LISTS lines)
  string(REPLACE "\\\\" "\\" line "${line}")
  if(line MATCHES "^R58267_PROGID\\(\"([^\"]*)\"\\)$")
    set(progid "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^R58267_HOST_INTERFACE\\(([A-Za-z0-9_]+)\\)$")
    list(APPEND host_interfaces "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^R58267_VALUE\\(\"([^\"]*)\", \"([^\"]*)\", \"([^\"]*)\"\\)$")
    list(APPEND values "${CMAKE_MATCH_1}|${CMAKE_MATCH_2}|${CMAKE_MATCH_3}")
  else()
    message(FATAL_ERROR "registry.cmake: ${TABLE}: cannot read \"${line}\"")
  endif()
endforeach()
if(NOT progid OR NOT values)
  message(FATAL_ERROR "registry.cmake: ${TABLE} gives no ProgID or no value")
endif()
foreach(value IN LISTS values)
  foreach(placeholder CLSID:${clsid} LIBID:${libid} PROGID:${progid} PATH:${path})
    string(REGEX REPLACE "^([A-Z]+):(.*)$" "\\1" placeholder_name "${placeholder}")
    string(REGEX REPLACE "^([A-Z]+):(.*)$" "\\2" placeholder_value "${placeholder}")
    string(REPLACE "$${placeholder_name}" "${placeholder_value}" value "${value}")
  endforeach()
  string(REGEX MATCH "^([^|]*)\\|([^|]*)\\|(.*)$" _ "${value}")
  entry("${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" "${CMAKE_MATCH_3}")
endforeach()

# The type library, as RegisterTypeLib writes it.
if(ARCH STREQUAL "x64")
  set(platform win64)
else()
  set(platform win32)
endif()
set(library "TypeLib\\${libid}\\${libversion}")
entry("${library}" "" "${libhelp}")
entry("${library}\\FLAGS" "" "${libflags}")
entry("${library}\\0\\${platform}" "" "${path}")
entry("${library}\\HELPDIR" "" "[INSTALLDIR]")

# Our interfaces, with the automation marshaler (PSOAInterface).
foreach(interface IN LISTS interfaces)
  string(REPLACE "=" ";" interface "${interface}")
  list(GET interface 0 name)
  list(GET interface 1 iid)
  if(name IN_LIST host_interfaces)
    continue()
  endif()
  set(key "Interface\\${iid}")
  entry("${key}" "" "${name}")
  entry("${key}\\ProxyStubClsid" "" "{00020424-0000-0000-C000-000000000046}")
  entry("${key}\\ProxyStubClsid32" "" "{00020424-0000-0000-C000-000000000046}")
  entry("${key}\\TypeLib" "" "${libid}")
  entry("${key}\\TypeLib" "Version" "${libversion}")
endforeach()

file(WRITE "${OUTPUT}.tmp"
     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
     "<!-- Generated by win/installer/registry.cmake from win/class_registration.inc and win/R58267.idl. -->\n"
     "<Include>\n${entries}</Include>\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
