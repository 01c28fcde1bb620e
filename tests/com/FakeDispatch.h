#pragma once

#include "host/com/ComHandles.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tagwright::test {

// A type description that says which type it describes, as a server's type library does.
inline host::com::ComPtr<ITypeInfo> describeType(const GUID& type) {
    using host::com::ComPtr;
    ComPtr<ICreateTypeLib2> library;
    ComPtr<ICreateTypeInfo> created;
    ComPtr<ITypeInfo> info;
    if (SUCCEEDED(CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32,
                                 const_cast<LPOLESTR>(L"fake.tlb"), library.put())) &&
        SUCCEEDED(library->CreateTypeInfo(const_cast<LPOLESTR>(L"Fake"), TKIND_DISPATCH,
                                          created.put())) &&
        SUCCEEDED(created->SetGuid(type))) {
        created.queryInterface(info);
    }
    return info;
}

// An automation object in this process that counts what it is asked and how many references
// others hold to it (`references` starts at the test's own one). Members answer through
// `Behaviour`s; a fake with `items` is a collection, and its own enumerator, so a reference an
// enumerator keeps shows in the collection's count.
class FakeDispatch : public IDispatch, public ISupportErrorInfo, public IEnumVARIANT {
  public:
    using Behaviour = std::function<HRESULT(DISPPARAMS& params, VARIANT* result, EXCEPINFO*)>;
    enum class Method { TypeInfo, Lookup, Invoke, Next };

    void add(const std::wstring& name, DISPID id, Behaviour behaviour) {
        ids_[folded(name)] = id;
        members_[id] = std::move(behaviour);
    }

    host::com::ComPtr<ITypeInfo> type; // none: the object does not say its type
    std::vector<FakeDispatch*> items;  // handed out by _NewEnum, 64 to a batch asked
    bool itemsAsUnknown = false;       // as VT_UNKNOWN instead of VT_DISPATCH
    int brokenBatch = -1;              // the IEnumVARIANT::Next call that fails
    bool errorInfo = false;            // answers ISupportErrorInfo for IDispatch
    bool answersDispatch = true;       // false: an IUnknown that is no automation object
    Method rejected = Method::Invoke;  // rejects the next `rejections` calls of this kind
    int rejections = 0;                // -1: every one
    HRESULT rejection = RPC_E_CALL_REJECTED;
    std::function<void()> onRejection;

    ULONG references = 1;
    int lookups = 0;
    std::vector<DISPID> invoked;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == IID_IUnknown || (iid == IID_IDispatch && answersDispatch)) {
            *out = static_cast<IDispatch*>(this);
        } else if (iid == IID_IEnumVARIANT) {
            *out = static_cast<IEnumVARIANT*>(this);
        } else if (iid == IID_ISupportErrorInfo && errorInfo) {
            *out = static_cast<ISupportErrorInfo*>(this);
        } else {
            return E_NOINTERFACE;
        }
        ++references;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return iid == IID_IDispatch ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = type ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        *info = nullptr;
        if (reject(Method::TypeInfo)) {
            return rejection;
        }
        if (!type) {
            return DISP_E_BADINDEX;
        }
        *info = type.get();
        type->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                            DISPID* ids) override {
        if (reject(Method::Lookup)) {
            return rejection;
        }
        ++lookups;
        auto it = ids_.find(folded(names[0]));
        *ids = it == ids_.end() ? DISPID_UNKNOWN : it->second;
        return it == ids_.end() ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        if (reject(Method::Invoke)) {
            return rejection;
        }
        invoked.push_back(id);
        if (id == DISPID_NEWENUM) {
            position_ = 0;
            AddRef();
            V_VT(result) = VT_UNKNOWN;
            V_UNKNOWN(result) = static_cast<IEnumVARIANT*>(this);
            return S_OK;
        }
        auto it = members_.find(id);
        return it == members_.end() ? DISP_E_MEMBERNOTFOUND
                                    : it->second(*params, result, exception);
    }

    // Behaviours.
    static Behaviour returns(const wchar_t* text) {
        return [text](DISPPARAMS&, VARIANT* result, EXCEPINFO*) {
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(text);
            return S_OK;
        };
    }
    static Behaviour returns(FakeDispatch& object) {
        return [&object](DISPPARAMS&, VARIANT* result, EXCEPINFO*) {
            object.AddRef();
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = &object;
            return S_OK;
        };
    }
    static Behaviour fails(HRESULT hr) {
        return [hr](DISPPARAMS&, VARIANT*, EXCEPINFO*) { return hr; };
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG wanted, VARIANT* out, ULONG* fetched) override {
        if (reject(Method::Next)) {
            return rejection;
        }
        if (batches_++ == brokenBatch) {
            return E_FAIL;
        }
        ULONG count = 0;
        for (; count < wanted && position_ < items.size(); ++count) {
            FakeDispatch* item = items[position_++];
            item->AddRef();
            if (itemsAsUnknown) {
                V_VT(&out[count]) = VT_UNKNOWN;
                V_UNKNOWN(&out[count]) = static_cast<IDispatch*>(item);
            } else {
                V_VT(&out[count]) = VT_DISPATCH;
                V_DISPATCH(&out[count]) = item;
            }
        }
        *fetched = count;
        return count == wanted ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

  private:
    bool reject(Method method) {
        if (method != rejected || rejections == 0) {
            return false;
        }
        if (rejections > 0) {
            --rejections;
        }
        if (onRejection) {
            onRejection();
        }
        return true;
    }
    static std::wstring folded(std::wstring name) {
        CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
        return name;
    }

    std::map<std::wstring, DISPID> ids_;
    std::map<DISPID, Behaviour> members_;
    int batches_ = 0;
    std::size_t position_ = 0;
};

} // namespace tagwright::test
