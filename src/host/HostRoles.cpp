#include "host/HostRoles.h"

#include "host/Failure.h"

#include <array>
#include <limits>
#include <vector>

namespace tagwright::host {

Value HostRole::invoke(std::u16string_view member, CallKind kind,
                       std::span<const Value> args) const {
    if (!object_) {
        throw Failure::objectNotSet();
    }
    return object_->invoke(member, kind, args);
}

Value HostRole::get(std::u16string_view member, std::initializer_list<Value> args) const {
    return invoke(member, CallKind::Get, std::span<const Value>(args.begin(), args.size()));
}

void HostRole::put(std::u16string_view member, Value value) const {
    invoke(member, CallKind::Put, std::span<const Value>(&value, 1));
}

Value HostRole::call(std::u16string_view member, std::initializer_list<Value> args) const {
    return invoke(member, CallKind::Method, std::span<const Value>(args.begin(), args.size()));
}

ObjectRef HostCollection::item(std::int32_t position) const {
    if (position >= std::numeric_limits<std::int16_t>::min() &&
        position <= std::numeric_limits<std::int16_t>::max()) {
        return get(u"Item", {static_cast<std::int16_t>(position)}).toObject();
    }
    return get(u"Item", {position}).toObject();
}

ObjectRef HostCollection::item(const std::u16string& name) const {
    return get(u"Item", {name}).toObject();
}

std::int32_t HostCollection::count() const {
    return get(u"Count").toInt32();
}

void HostCollection::forEach(const std::function<void(const ObjectRef&)>& visit) const {
    if (isNothing()) {
        throw Failure::objectNotSet();
    }
    auto members = object()->enumerate();
    Value member;
    while (members->next(member)) {
        visit(member.toObject());
    }
}

void HostCollection::forEachWhile(const std::function<bool(const ObjectRef&)>& visit) const {
    if (isNothing()) {
        throw Failure::objectNotSet();
    }
    auto members = object()->enumerate();
    Value member;
    while (members->next(member)) {
        if (!visit(member.toObject())) {
            return;
        }
    }
}

std::u16string HostNetClass::name() const {
    return get(u"Name").toString();
}

std::u16string HostNet::name() const {
    return get(u"Name").toString();
}
HostNetClass HostNet::netClass() const {
    return HostNetClass(get(u"NetClass").toObject());
}
void HostNet::setSelected(bool selected) const {
    put(u"Selected", selected);
}

std::u16string HostComponent::name() const {
    return get(u"Name").toString();
}
HostCollection HostComponent::pins() const {
    return HostCollection(get(u"Pins").toObject());
}
void HostComponent::setSelected(bool selected) const {
    put(u"Selected", selected);
}

std::u16string HostPin::name() const {
    return get(u"Name").toString();
}
std::int32_t HostPin::number() const {
    return get(u"Number").toInt32();
}
double HostPin::positionX() const {
    return get(u"PositionX", {std::int32_t{0}}).toDouble();
}
double HostPin::positionY() const {
    return get(u"PositionY", {std::int32_t{0}}).toDouble();
}
HostNet HostPin::net() const {
    return HostNet(get(u"Net").toObject());
}
Value HostPin::netClassProperty() const {
    return get(u"NetClass");
}

double HostVia::positionX() const {
    return get(u"PositionX", {std::int32_t{0}}).toDouble();
}
double HostVia::positionY() const {
    return get(u"PositionY", {std::int32_t{0}}).toDouble();
}
HostNet HostVia::net() const {
    return HostNet(get(u"Net").toObject());
}

std::u16string HostText::textString() const {
    return get(u"TextString").toString();
}
bool HostText::remove() const {
    return call(u"Delete").toBool();
}

void HostView::showSelection() const {
    call(u"ShowSelection");
}

HostView HostDocument::view() const {
    return HostView(get(u"View").toObject());
}
std::int32_t HostDocument::unit() const {
    return get(u"Unit").toInt32();
}
std::int32_t HostDocument::layerCount() const {
    return get(u"LayerCount").toInt32();
}
std::u16string HostDocument::layerName(std::int32_t layer) const {
    return get(u"LayerName", {layer}).toString();
}
HostCollection HostDocument::components() const {
    return HostCollection(get(u"Components").toObject());
}
HostCollection HostDocument::nets() const {
    return HostCollection(get(u"Nets").toObject());
}
HostCollection HostDocument::vias() const {
    return HostCollection(get(u"Vias").toObject());
}
HostCollection HostDocument::netClasses() const {
    return HostCollection(get(u"NetClasses").toObject());
}
HostCollection HostDocument::texts() const {
    return HostCollection(get(u"Texts").toObject());
}

void HostDocument::addText(const TextPlacement& p) const {
    // The editor's flags (arguments 7 and 9) are always 0; the new item it returns is not kept.
    call(u"AddText", {p.text, p.layer, p.x, p.y, p.height, p.lineWidth, std::int32_t{0}, p.rotation,
                      std::int32_t{0}});
}

HostDocument HostApplication::activeDocument() const {
    return HostDocument(get(u"ActiveDocument").toObject());
}

} // namespace tagwright::host
