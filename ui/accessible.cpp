#include "ui/accessible.h"

#include <atomic>
#include <new>
#include <utility>

#include "win32/com.h"

namespace {

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The standard client object of a window, with a few answers of its own. A client may hold it after the
// window has gone: it keeps nothing of the window but the handle, and the standard object answers for
// a window that is no more as the system does. What clients walk the tree with, the children through
// IEnumVARIANT and the window through IOleWindow, it takes from the standard object, as one object: every
// interface answers for all the others. IServiceProvider stays out: the standard object answers through
// it that it is oleacc's own proxy, and UI Automation would then pass over this one's answers.
class TClientObject final : public IAccessible, public IEnumVARIANT, public IOleWindow {
 public:
  TClientObject(HWND window, TComPtr<IAccessible> standard, const TAccessibleClient& client)
      : window_(window), standard_(std::move(standard)), client_(client) {
    standard_->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(children_.Put()));
    standard_->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(oleWindow_.Put()));
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (!object) return E_POINTER;
    if (id == IID_IUnknown || id == IID_IDispatch || id == AccessibleInterface)
      *object = static_cast<IAccessible*>(this);
    else if (id == IID_IEnumVARIANT && children_)
      *object = static_cast<IEnumVARIANT*>(this);
    else if (id == IID_IOleWindow && oleWindow_)
      *object = static_cast<IOleWindow*>(this);
    else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // No type information: clients call through the interface, as they do with the standard object.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!IsSelf(child) || !role) return standard_->get_accRole(child, role);
    role->vt = VT_I4;
    role->lVal = client_.Role;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT result = standard_->get_accState(child, state);
    if (SUCCEEDED(result) && IsSelf(child) && state->vt == VT_I4) state->lVal |= client_.State;
    return result;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (!IsSelf(child) || !client_.DefaultAction || !action)
      return standard_->get_accDefaultAction(child, action);
    *action = SysAllocString(client_.DefaultAction);
    return *action ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!IsSelf(child) || !client_.Action) return standard_->accDoDefaultAction(child);
    // Posted, as a key press would come: the caller waits for no page to open, and nothing runs
    // inside its call.
    return PostMessageA(window_, client_.Action, 0, 0) ? S_OK : E_FAIL;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return standard_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return standard_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return standard_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return standard_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return standard_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return standard_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return standard_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return standard_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return standard_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return standard_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    return standard_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return standard_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return standard_->put_accValue(child, value);
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* children, ULONG* fetched) override {
    return children_->Next(count, children, fetched);
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override { return children_->Skip(count); }
  HRESULT STDMETHODCALLTYPE Reset() override { return children_->Reset(); }
  // The copy goes on from the same child, and answers as this object does.
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override {
    if (!copy) return E_POINTER;
    *copy = nullptr;
    TComPtr<IEnumVARIANT> standardCopy;
    TComPtr<IAccessible> standard;
    HRESULT result = children_->Clone(standardCopy.Put());
    if (SUCCEEDED(result))
      result = standardCopy->QueryInterface(AccessibleInterface, reinterpret_cast<void**>(standard.Put()));
    if (FAILED(result)) return result;
    auto* object = new (std::nothrow) TClientObject(window_, std::move(standard), client_);
    if (!object) return E_OUTOFMEMORY;
    result = object->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(copy));
    object->Release();
    return result;
  }

  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override { return oleWindow_->GetWindow(window); }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override {
    return oleWindow_->ContextSensitiveHelp(enter);
  }

 private:
  ~TClientObject() = default;

  std::atomic<ULONG> references_{1};
  HWND window_;
  TComPtr<IAccessible> standard_;
  TComPtr<IEnumVARIANT> children_;
  TComPtr<IOleWindow> oleWindow_;
  TAccessibleClient client_;
};

}  // namespace

LRESULT AnswerAccessibleObject(HWND window, WPARAM wParam, LPARAM lParam, const TAccessibleClient& client) {
  // The object identifier comes as a 32-bit value, which a 64-bit lParam may carry without its sign.
  if (static_cast<LONG>(lParam) != OBJID_CLIENT) return 0;
  // The object handed out lives in the thread's apartment.
  EnsureComApartment();
  TComPtr<IAccessible> standard;
  if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, AccessibleInterface,
                                       reinterpret_cast<void**>(standard.Put()))))
    return 0;
  auto* object = new (std::nothrow) TClientObject(window, std::move(standard), client);
  if (!object) return 0;
  // The caller's reference is the only one once ours goes.
  const LRESULT reference = LresultFromObject(AccessibleInterface, wParam, static_cast<IAccessible*>(object));
  object->Release();
  return reference > 0 ? reference : 0;
}
