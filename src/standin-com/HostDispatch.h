#pragma once

#include "host/HostObject.h"
#include "host/com/ComHandles.h"

#include <atomic>
#include <cstddef>

namespace tagwright::host::com {

// How the served objects behave where automation servers differ.
struct ServingOptions {
    // Each object describes its type (the member table numbers the members alike for every
    // object); without, clients must learn member ids object by object.
    bool typeInfo = true;
    // Those descriptions declare the interface of every object a member hands out, so a client
    // knows the type of a collection's members without asking each; without, they return a
    // plain IDispatch.
    bool typedReturns = true;
    // Failures leave their description to a deferred fill-in, which only a client in this
    // process may call.
    bool deferredFillIn = false;
};

// What a served object is, as the editor's interfaces tell them apart.
enum class ServedRole {
    Untyped,
    Application,
    Document,
    View,
    Components,
    Nets,
    Vias,
    NetClasses,
    Texts,
    Pins,
    Component,
    Net,
    Pin,
    Via,
    NetClass,
    Text
};

// Serves any host object (the in-memory design in practice) as an automation object, so a
// client sees through IDispatch exactly what the object answers to invoke: no second object
// model. Every object reached through it is served the same way.
class HostDispatch : public IDispatch {
  public:
    // Returns the new object with one reference, owned by the caller.
    // Objects it hands out take their roles from its own.
    static ComPtr<IDispatch> serve(ObjectRef object, ServingOptions options = {},
                                   ServedRole role = ServedRole::Untyped);
    // The host object behind `dispatch` when it is one of ours in this process, else null.
    static ObjectRef servedObject(IDispatch* dispatch);

    // What clients asked of the served objects, over all of them: tests and the benchmark see
    // how many round trips a client needs.
    struct Counts {
        std::atomic<std::size_t> nameLookups{0}, typeInfos{0}, invokes{0}, batches{0};
    };
    static Counts counts;

    // After this many more calls (of any kind), the next one is taken and never answered, and
    // the serving thread stops for good, as in a hung editor. Negative: never.
    static std::atomic<long long> hangAfter;
    static bool hung();
    // Counts one served call towards hangAfter; does not come back from the one that hangs.
    static void served();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

  private:
    HostDispatch(ObjectRef object, ServingOptions options, ServedRole role)
        : object_(std::move(object)), options_(options), role_(role) {}
    virtual ~HostDispatch() = default;

    std::atomic<ULONG> references_{1};
    ObjectRef object_;
    ServingOptions options_;
    ServedRole role_;
};

} // namespace tagwright::host::com
