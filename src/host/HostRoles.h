#pragma once

#include "host/HostObject.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

namespace tagwright::host {

// Base of the typed views on host objects. A role is a reference: copying it shares the
// object, and a default-constructed role is "nothing", on which every call fails with 91.
class HostRole {
  public:
    HostRole() = default;
    explicit HostRole(ObjectRef object) : object_(std::move(object)) {}

    bool isNothing() const { return object_ == nullptr; }
    const ObjectRef& object() const { return object_; }

    Value get(std::u16string_view member, std::initializer_list<Value> args = {}) const;
    void put(std::u16string_view member, Value value) const;
    Value call(std::u16string_view member, std::initializer_list<Value> args = {}) const;

  protected:
    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) const;

  private:
    ObjectRef object_;
};

class HostCollection : public HostRole {
  public:
    using HostRole::HostRole;
    // By 1-based position. The editor's interface documents a 16-bit index; positions past
    // that range travel as 32-bit so large designs stay reachable.
    ObjectRef item(std::int32_t position) const;
    ObjectRef item(const std::u16string& name) const;
    std::int32_t count() const;
    // Visits every member once, in the host's order.
    void forEach(const std::function<void(const ObjectRef&)>& visit) const;
    // The same, but stops before the next member once `visit` returns false.
    void forEachWhile(const std::function<bool(const ObjectRef&)>& visit) const;
};

class HostNetClass : public HostRole {
  public:
    using HostRole::HostRole;
    std::u16string name() const;
};

class HostNet : public HostRole {
  public:
    using HostRole::HostRole;
    std::u16string name() const;
    HostNetClass netClass() const;
    void setSelected(bool selected) const;
};

class HostComponent : public HostRole {
  public:
    using HostRole::HostRole;
    std::u16string name() const;
    HostCollection pins() const;
    void setSelected(bool selected) const;
};

class HostPin : public HostRole {
  public:
    using HostRole::HostRole;
    std::u16string name() const;
    std::int32_t number() const;
    double positionX() const;
    double positionY() const;
    HostNet net() const;
    // The pin's net class read late-bound by name; the editor hands back text.
    Value netClassProperty() const;
};

class HostVia : public HostRole {
  public:
    using HostRole::HostRole;
    double positionX() const;
    double positionY() const;
    HostNet net() const;
};

class HostText : public HostRole {
  public:
    using HostRole::HostRole;
    std::u16string textString() const;
    // False when the editor refused to remove the item.
    bool remove() const;
};

class HostView : public HostRole {
  public:
    using HostRole::HostRole;
    void showSelection() const;
};

struct TextPlacement {
    std::u16string text;
    std::int16_t layer = 0;
    double x = 0, y = 0, height = 0, lineWidth = 0, rotation = 0;
};

class HostDocument : public HostRole {
  public:
    using HostRole::HostRole;
    HostView view() const;
    std::int32_t unit() const;
    std::int32_t layerCount() const;
    std::u16string layerName(std::int32_t layer) const;
    HostCollection components() const;
    HostCollection nets() const;
    HostCollection vias() const;
    HostCollection netClasses() const;
    HostCollection texts() const;
    void addText(const TextPlacement& placement) const;
};

class HostApplication : public HostRole {
  public:
    using HostRole::HostRole;
    HostDocument activeDocument() const;
};

} // namespace tagwright::host
