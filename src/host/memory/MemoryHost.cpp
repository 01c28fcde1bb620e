#include "host/memory/MemoryHost.h"

#include "host/Failure.h"
#include "host/Text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

namespace tagwright::host::memory {

namespace {

std::u16string number(double value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return fromUtf8(std::string_view(buffer, result.ptr - buffer));
}

// Reading a component through the const list keeps its name index: a run reads every pin of
// every labelled component between two lookups by name.
const ComponentData& componentAt(const Design& design, Index i) {
    return design.components[static_cast<std::size_t>(i)];
}

void tell(Design& design, DesignChange change) {
    if (change.kind != DesignChange::Kind::SelectionShown) {
        ++design.revision;
    }
    if (design.onChange) {
        design.onChange(change);
    }
}

void checkOpen(const Design& design) {
    if (design.closed) {
        throw Failure::editorError(u"设计已关闭");
    }
}

// Reads and method calls are both accepted for readable members, as automation clients
// often send the two flags together; only writable properties take a put.
class MemberCall {
  public:
    MemberCall(std::u16string_view member, CallKind kind, std::span<const Value> args)
        : member_(member), kind_(kind), args_(args) {}

    bool is(std::u16string_view name, std::size_t argCount) const {
        if (member_ != name || kind_ == CallKind::Put) {
            return false;
        }
        checkCount(argCount);
        return true;
    }
    bool isPut(std::u16string_view name) const {
        if (member_ != name || kind_ != CallKind::Put) {
            return false;
        }
        checkCount(1);
        return true;
    }
    const Value& arg(std::size_t i) const { return args_[i]; }
    [[noreturn]] void unsupported() const { throw Failure::memberNotSupported(member_); }

  private:
    void checkCount(std::size_t expected) const {
        if (args_.size() != expected) {
            throw Failure::wrongArgumentCount(member_);
        }
    }

    std::u16string_view member_;
    CallKind kind_;
    std::span<const Value> args_;
};

// The coordinate argument of PositionX/PositionY is a flag the editor ignores; it must still
// be an integer.
void checkFlag(const Value& v) {
    (void)v.toInt32();
}

// The editor's selection flag of a component or net, read and written by name; the last
// member either object answers, so anything else is unsupported.
template <class Select>
Value selection(const MemberCall& call, Design& design, bool selected, const std::u16string& name,
                const Select& select) {
    if (call.is(u"Selected", 0)) {
        return selected;
    }
    if (call.isPut(u"Selected")) {
        checkOpen(design);
        selected = call.arg(0).toBool();
        select(selected);
        tell(design, {DesignChange::Kind::SelectionChanged,
                      (selected ? u"selected " : u"deselected ") + name, nullptr});
        return {};
    }
    call.unsupported();
}

class NetClassObject : public HostObject {
  public:
    NetClassObject(std::shared_ptr<Design> d, Index i) : design_(std::move(d)), index_(i) {}
    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        MemberCall call(member, kind, args);
        if (call.is(u"Name", 0)) {
            return design_->netClasses[index_].name;
        }
        call.unsupported();
    }

  private:
    std::shared_ptr<Design> design_;
    Index index_;
};

class NetObject : public HostObject {
  public:
    NetObject(std::shared_ptr<Design> d, Index i) : design_(std::move(d)), index_(i) {}
    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        MemberCall call(member, kind, args);
        NetData& net = design_->nets[index_];
        if (call.is(u"Name", 0)) {
            return net.name;
        }
        if (call.is(u"NetClass", 0)) {
            if (net.netClass == none) {
                return ObjectRef();
            }
            return std::make_shared<NetClassObject>(design_, net.netClass);
        }
        return selection(call, *design_, net.selected, net.name,
                         [&](bool selected) { net.selected = selected; });
    }

  private:
    std::shared_ptr<Design> design_;
    Index index_;
};

ObjectRef netOrNothing(const std::shared_ptr<Design>& design, Index net) {
    if (net == none) {
        return nullptr;
    }
    return std::make_shared<NetObject>(design, net);
}

class PinObject : public HostObject {
  public:
    PinObject(std::shared_ptr<Design> d, Index component, Index pin)
        : design_(std::move(d)), component_(component), pin_(pin) {}
    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        MemberCall call(member, kind, args);
        const PinData& pin = componentAt(*design_, component_).pins[pin_];
        if (call.is(u"Name", 0)) {
            return pin.name;
        }
        if (call.is(u"Number", 0)) {
            return pin.number;
        }
        if (call.is(u"PositionX", 1)) {
            checkFlag(call.arg(0));
            return pin.x;
        }
        if (call.is(u"PositionY", 1)) {
            checkFlag(call.arg(0));
            return pin.y;
        }
        if (call.is(u"Net", 0)) {
            return netOrNothing(design_, pin.net);
        }
        if (call.is(u"NetClass", 0)) {
            if (pin.net == none || design_->nets[pin.net].netClass == none) {
                return std::u16string();
            }
            return design_->netClasses[design_->nets[pin.net].netClass].name;
        }
        call.unsupported();
    }

  private:
    std::shared_ptr<Design> design_;
    Index component_, pin_;
};

class ViaObject : public HostObject {
  public:
    ViaObject(std::shared_ptr<Design> d, Index i) : design_(std::move(d)), index_(i) {}
    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        MemberCall call(member, kind, args);
        const ViaData& via = design_->vias[index_];
        if (call.is(u"PositionX", 1)) {
            checkFlag(call.arg(0));
            return via.x;
        }
        if (call.is(u"PositionY", 1)) {
            checkFlag(call.arg(0));
            return via.y;
        }
        if (call.is(u"Net", 0)) {
            return netOrNothing(design_, via.net);
        }
        call.unsupported();
    }

  private:
    std::shared_ptr<Design> design_;
    Index index_;
};

class TextObject : public HostObject {
  public:
    TextObject(std::shared_ptr<Design> d, std::shared_ptr<TextData> t)
        : design_(std::move(d)), text_(std::move(t)) {}
    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        MemberCall call(member, kind, args);
        if (text_->deleted) {
            throw Failure::editorError(u"文本已被删除");
        }
        if (call.is(u"TextString", 0)) {
            return text_->text;
        }
        if (call.is(u"Delete", 0)) {
            checkOpen(*design_);
            if (text_->locked) {
                return false;
            }
            text_->deleted = true;
            ++design_->deletedTexts;
            tell(*design_, {DesignChange::Kind::TextDeleted, u"deleted " + text_->text, text_});
            return true;
        }
        call.unsupported();
    }

  private:
    std::shared_ptr<Design> design_;
    std::shared_ptr<TextData> text_;
};

enum class CollectionKind { Components, Nets, NetClasses, Vias, Texts, Pins };

class CollectionObject : public HostObject, public std::enable_shared_from_this<CollectionObject> {
  public:
    CollectionObject(std::shared_ptr<Design> d, CollectionKind kind, Index owner = none)
        : design_(std::move(d)), kind_(kind), owner_(owner) {}

    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        MemberCall call(member, kind, args);
        if (kind_ == CollectionKind::Texts) {
            design_->sweepDeletedTexts();
        }
        if (call.is(u"Count", 0)) {
            return static_cast<std::int32_t>(count());
        }
        if (call.is(u"Item", 1)) {
            const Value& key = call.arg(0);
            if (key.type() == Value::Type::String) {
                return byName(key.toString());
            }
            std::int32_t position = key.toInt32();
            if (position < 1 || static_cast<std::size_t>(position) > count()) {
                throw Failure(Failure::SubscriptOutOfRange,
                              u"下标越界: " + fromUtf8(std::to_string(position)));
            }
            return at(static_cast<std::size_t>(position - 1));
        }
        call.unsupported();
    }

    std::unique_ptr<HostEnumerator> enumerate() override;

    std::size_t count() const {
        switch (kind_) {
        case CollectionKind::Components:
            return design_->components.size();
        case CollectionKind::Nets:
            return design_->nets.size();
        case CollectionKind::NetClasses:
            return design_->netClasses.size();
        case CollectionKind::Vias:
            return design_->vias.size();
        case CollectionKind::Texts:
            return design_->liveTextCount();
        case CollectionKind::Pins:
            return componentAt(*design_, owner_).pins.size();
        }
        return 0;
    }

    ObjectRef at(std::size_t i) const;

  private:
    ObjectRef byName(const std::u16string& name) const {
        if (kind_ == CollectionKind::Components) {
            Index found = std::as_const(design_->components).find(name);
            if (found != none) {
                return at(static_cast<std::size_t>(found));
            }
        } else {
            std::size_t n = count();
            for (std::size_t i = 0; i < n; ++i) {
                const std::u16string* candidate = nameAt(i);
                if (candidate && *candidate == name) {
                    return at(i);
                }
            }
        }
        throw Failure::editorError(u"找不到对象: " + name);
    }

    // Vias have no name and are never found by one.
    const std::u16string* nameAt(std::size_t i) const {
        switch (kind_) {
        case CollectionKind::Components:
            return &componentAt(*design_, static_cast<Index>(i)).name;
        case CollectionKind::Nets:
            return &design_->nets[i].name;
        case CollectionKind::NetClasses:
            return &design_->netClasses[i].name;
        case CollectionKind::Texts:
            return &design_->texts[i]->text;
        case CollectionKind::Pins:
            return &componentAt(*design_, owner_).pins[i].name;
        case CollectionKind::Vias:
            break;
        }
        return nullptr;
    }

    std::shared_ptr<Design> design_;
    CollectionKind kind_;
    Index owner_;
};

class ComponentObject : public HostObject {
  public:
    ComponentObject(std::shared_ptr<Design> d, Index i) : design_(std::move(d)), index_(i) {}
    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        MemberCall call(member, kind, args);
        const ComponentData& component = componentAt(*design_, index_);
        if (call.is(u"Name", 0)) {
            return component.name;
        }
        if (call.is(u"Pins", 0)) {
            return std::make_shared<CollectionObject>(design_, CollectionKind::Pins, index_);
        }
        return selection(call, *design_, component.selected, component.name,
                         [&](bool selected) { design_->components.setSelected(index_, selected); });
    }

  private:
    std::shared_ptr<Design> design_;
    Index index_;
};

ObjectRef CollectionObject::at(std::size_t i) const {
    auto index = static_cast<Index>(i);
    switch (kind_) {
    case CollectionKind::Components:
        return std::make_shared<ComponentObject>(design_, index);
    case CollectionKind::Nets:
        return std::make_shared<NetObject>(design_, index);
    case CollectionKind::NetClasses:
        return std::make_shared<NetClassObject>(design_, index);
    case CollectionKind::Vias:
        return std::make_shared<ViaObject>(design_, index);
    case CollectionKind::Texts:
        design_->sweepDeletedTexts();
        return std::make_shared<TextObject>(design_, design_->texts[i]);
    case CollectionKind::Pins:
        return std::make_shared<PinObject>(design_, owner_, index);
    }
    return nullptr;
}

// Components, nets, classes, vias and pins are never added or removed through the interface,
// so walking positions up to the count taken at the start is a stable snapshot.
class PositionEnumerator : public HostEnumerator {
  public:
    explicit PositionEnumerator(std::shared_ptr<const CollectionObject> collection)
        : collection_(std::move(collection)), end_(collection_->count()) {}
    bool next(Value& member) override {
        if (position_ >= end_) {
            return false;
        }
        member = collection_->at(position_++);
        return true;
    }

  private:
    std::shared_ptr<const CollectionObject> collection_;
    std::size_t position_ = 0;
    std::size_t end_;
};

// Texts come and go while a pass walks them: the walk visits the texts that were there when
// it started, each once, whatever is deleted or added meanwhile.
class TextEnumerator : public HostEnumerator {
  public:
    explicit TextEnumerator(std::shared_ptr<Design> design)
        : design_(std::move(design)), snapshot_(design_->textSnapshot()) {}
    bool next(Value& member) override {
        while (position_ < snapshot_->size()) {
            auto& text = (*snapshot_)[position_++];
            if (!text->deleted) {
                member = ObjectRef(std::make_shared<TextObject>(design_, text));
                return true;
            }
        }
        return false;
    }
    // The snapshot may hold the last references to texts deleted since it was taken.
    Footprint footprint() const override {
        return {snapshot_.get(),
                snapshot_->size() * (sizeof(Design::TextList::value_type) + sizeof(TextData))};
    }

  private:
    std::shared_ptr<Design> design_;
    std::shared_ptr<const Design::TextList> snapshot_;
    std::size_t position_ = 0;
};

std::unique_ptr<HostEnumerator> CollectionObject::enumerate() {
    if (kind_ == CollectionKind::Texts) {
        return std::make_unique<TextEnumerator>(design_);
    }
    return std::make_unique<PositionEnumerator>(shared_from_this());
}

class ViewObject : public HostObject {
  public:
    explicit ViewObject(std::shared_ptr<Design> d) : design_(std::move(d)) {}
    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        MemberCall call(member, kind, args);
        if (call.is(u"ShowSelection", 0)) {
            ++design_->showSelectionCalls;
            tell(*design_, {DesignChange::Kind::SelectionShown, u"showed the selection", nullptr});
            return {};
        }
        call.unsupported();
    }

  private:
    std::shared_ptr<Design> design_;
};

class DocumentObject : public HostObject {
  public:
    explicit DocumentObject(std::shared_ptr<Design> d) : design_(std::move(d)) {}

    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        MemberCall call(member, kind, args);
        checkOpen(*design_);
        if (call.is(u"Unit", 0)) {
            return design_->unit;
        }
        if (call.is(u"LayerCount", 0)) {
            return static_cast<std::int32_t>(design_->layers.size());
        }
        if (call.is(u"LayerName", 1)) {
            std::int32_t layer = call.arg(0).toInt32();
            checkLayer(layer);
            return design_->layers[static_cast<std::size_t>(layer - 1)];
        }
        if (call.is(u"View", 0)) {
            return std::make_shared<ViewObject>(design_);
        }
        if (call.is(u"AddText", 9)) {
            return addText(call);
        }
        static constexpr std::pair<std::u16string_view, CollectionKind> collections[] = {
            {u"Components", CollectionKind::Components},
            {u"Nets", CollectionKind::Nets},
            {u"NetClasses", CollectionKind::NetClasses},
            {u"Vias", CollectionKind::Vias},
            {u"Texts", CollectionKind::Texts}};
        for (const auto& [name, collection] : collections) {
            if (call.is(name, 0)) {
                return std::make_shared<CollectionObject>(design_, collection);
            }
        }
        call.unsupported();
    }

  private:
    static double finite(const Value& argument, std::u16string_view name) {
        double value = argument.toDouble();
        if (!std::isfinite(value)) {
            throw Failure::editorError(u"参数不是有限的数: " + std::u16string(name));
        }
        return value;
    }

    void checkLayer(std::int32_t layer) const {
        if (layer < 1 || static_cast<std::size_t>(layer) > design_->layers.size()) {
            throw Failure::editorError(u"无效的层号: " + fromUtf8(std::to_string(layer)));
        }
    }

    Value addText(const MemberCall& call) {
        auto text = std::make_shared<TextData>();
        text->text = call.arg(0).toString();
        // What the design file cannot hold would make the next save fail, so it never gets in.
        if (text->text.find(u'\0') != std::u16string::npos) {
            throw Failure::editorError(u"文本不能包含空字符");
        }
        text->layer = call.arg(1).toInt32();
        checkLayer(text->layer);
        text->x = finite(call.arg(2), u"x");
        text->y = finite(call.arg(3), u"y");
        text->height = finite(call.arg(4), u"height");
        text->lineWidth = finite(call.arg(5), u"line width");
        checkFlag(call.arg(6));
        text->rotation = finite(call.arg(7), u"rotation");
        checkFlag(call.arg(8));
        design_->texts.push_back(text);
        tell(*design_,
             {DesignChange::Kind::TextAdded,
              u"added " + text->text + u" at (" + number(text->x) + u", " + number(text->y) +
                  u") on layer " + fromUtf8(std::to_string(text->layer)),
              text});
        return ObjectRef(std::make_shared<TextObject>(design_, std::move(text)));
    }

    std::shared_ptr<Design> design_;
};

class ApplicationObject : public HostObject {
  public:
    explicit ApplicationObject(std::shared_ptr<Design> d) : design_(std::move(d)) {}
    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        MemberCall call(member, kind, args);
        if (call.is(u"ActiveDocument", 0)) {
            if (!design_) {
                throw Failure::editorError(u"没有打开的设计");
            }
            return std::make_shared<DocumentObject>(design_);
        }
        call.unsupported();
    }

  private:
    std::shared_ptr<Design> design_;
};

} // namespace

ObjectRef makeApplication(std::shared_ptr<Design> design) {
    return std::make_shared<ApplicationObject>(std::move(design));
}

ObjectRef makeDocument(std::shared_ptr<Design> design) {
    return std::make_shared<DocumentObject>(std::move(design));
}

} // namespace tagwright::host::memory
