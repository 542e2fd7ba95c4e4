// IDispatch over the stand-in's objects: every object of framework/excel.h
// that the embedded stand-in hands out is served to automation clients with
// Excel's member names (the table of win/excel_members.h).
#pragma once

#include <functional>
#include <memory>

#include "framework/excel.h"
#include "win/com.h"

namespace e2e {

// What the server's process does when the Application is told to quit or
// to show or hide itself.
struct ServerEvents {
  std::function<void()> quit;
  std::function<void(bool)> visible;
};
void SetServerEvents(ServerEvents events);

// The IDispatch serving `object`; the same stand-in object gives the same
// IDispatch for as long as a client holds it. None for a null object.
win::ComPtr<IDispatch> DispatchFor(const std::shared_ptr<excel::Object>& object);

// Served objects alive in this process.
long LiveObjects();

// Invoke calls answered so far by the served objects, failed ones too.
long InvokeCount();

// Checks that every member of the table has its implementation; the name of
// the first one missing, empty when all are there.
std::string MissingMember();

}  // namespace e2e
