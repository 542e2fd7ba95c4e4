// VARIANT and vb::Variant, both ways, and the objects of the Windows
// binding: every one holds its automation object's IDispatch, and one COM
// object seen twice as the same type is one C++ object (VB's `Is`).
#pragma once

#include <functional>
#include <memory>
#include <typeindex>
#include <utility>

#include "framework/excel.h"
#include "framework/vb.h"
#include "win/com.h"

namespace win {

// Base of every object of the Windows binding.
class ComObject {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  virtual ~ComObject();
  [[nodiscard]] IDispatch* Dispatch() const { return dispatch_.Get(); }

 protected:
  explicit ComObject(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

 private:
  friend std::shared_ptr<ComObject> WrapOnce(
      const std::type_index& type, IDispatch* dispatch,
      const std::function<std::shared_ptr<ComObject>(ComPtr<IDispatch>)>& make);
  ComPtr<IDispatch> dispatch_;
  // Set once registered: the COM identity (IUnknown) and the wrapper type.
  ComPtr<IUnknown> identity_;
  std::type_index type_ = typeid(void);
};

// The wrapper of type `type` that the core still holds for the COM object
// behind `dispatch` (same IUnknown), or a new one made by `make`; none for a
// null pointer.
std::shared_ptr<ComObject> WrapOnce(const std::type_index& type, IDispatch* dispatch,
                                    const std::function<std::shared_ptr<ComObject>(ComPtr<IDispatch>)>& make);

template <class Wrapper, class Make>
std::shared_ptr<Wrapper> Wrap(IDispatch* dispatch, Make make) {
  return std::static_pointer_cast<Wrapper>(
      WrapOnce(typeid(Wrapper), dispatch,
               [&](ComPtr<IDispatch> held) -> std::shared_ptr<ComObject> { return make(std::move(held)); }));
}

// An automation object of no known type, as a VARIANT brings it.
class DispatchObject final : public excel::Object, public ComObject {
 public:
  explicit DispatchObject(ComPtr<IDispatch> dispatch) : ComObject(std::move(dispatch)) {}
};

// VARIANT → vb::Variant. Integers become Long (Double beyond its range),
// R4/R8/CY/DECIMAL Double, DATE Date, BSTR String, BOOL Boolean, ERROR an
// error value (0x800A0000 + c is CVErr(c); any other code, such as a missing
// argument, keeps its HRESULT as the code), DISPATCH/UNKNOWN an object
// (Nothing when null), one-dimensional arrays an Array with their lower
// bound; by-reference values are read through. An array of two or more
// dimensions (the Value of a block of cells) has no vb::Variant form: 13.
vb::Variant FromVariant(const VARIANT& value);
// vb::Variant → VARIANT: Long I4, Double R8, Date DATE, String BSTR,
// Boolean BOOL (-1 for True), error values ERROR, objects of this binding
// their IDispatch (13 for any other object), arrays a SAFEARRAY of VARIANT
// with the same lower bound.
UniqueVariant ToVariant(const vb::Variant& value);

// The IDispatch a VARIANT holds (VT_UNKNOWN through QueryInterface, by
// reference read through); empty for Nothing and Empty, 13 for anything
// else.
ComPtr<IDispatch> DispatchOf(const VARIANT& value);

// A missing optional argument (VT_ERROR DISP_E_PARAMNOTFOUND).
vb::Variant MissingArgument();
bool IsMissingArgument(const vb::Variant& value);

}  // namespace win
