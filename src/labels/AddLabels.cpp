#include "labels/AddLabels.h"

#include "host/Failure.h"
#include "host/Text.h"
#include "labels/LabelSettings.h"

#include <cmath>
#include <limits>
#include <optional>

namespace tagwright::labels {

namespace {

// Stands in as the class name of a net without a class, so such nets pass the class filter
// only when it is off (or a class of exactly this name is chosen).
constexpr char16_t noClassMarker[] = u"#$%&";

class Run {
  public:
    Run(const host::HostDocument& document, const run::LabelRequest& request,
        const run::ShowMessage& showMessage, run::RunProgress* progress)
        : document_(document), request_(request), showMessage_(showMessage), progress_(progress) {}

    void start(ComponentMask& mask) {
        settings_ = makeLabelSettings(document_.unit(), request_);
        if (request_.selectedNets) {
            nets_ = SelectionSet::chosenIn(request_.nets);
        }
        if (request_.selectedNetClasses) {
            classes_ = SelectionSet::chosenIn(request_.netClasses);
        }
        mask.rebuild(request_.components, request_.selectedComponents);

        auto type = request_.labelType;
        if (type != run::NetNameLabel && type != run::PinNumberLabel &&
            type != run::NetClassLabel) {
            return;
        }
        if (walkPins(mask) && type != run::PinNumberLabel && request_.vias) {
            walkVias();
        }
    }

  private:
    bool netPasses(const std::u16string& name) const {
        return !request_.selectedNets || nets_.contains(name);
    }
    bool classPasses(const std::u16string& name) const {
        return !request_.selectedNetClasses || classes_.contains(name);
    }

    bool proceed(run::RunStage stage, std::size_t done, std::size_t total) const {
        return progress_ == nullptr || progress_->proceed(stage, done, total);
    }

    // False when the run was told to stop.
    bool walkPins(const ComponentMask& mask) {
        std::size_t chosen = 0;
        for (std::size_t i = 0; i < mask.size(); ++i) {
            chosen += mask[i] ? 1 : 0;
        }
        // Counted as begun, so the user sees "1 / n" while the first component is worked on.
        std::size_t begun = 0;
        for (std::size_t i = 0; i < request_.components.size(); ++i) {
            if (!mask[i]) {
                continue;
            }
            ++begun;
            if (!proceed(run::RunStage::Components, begun, chosen)) {
                return false;
            }
            host::HostComponent component(document_.components().item(request_.components[i].text));
            bool going = true;
            component.pins().forEachWhile([&](const host::ObjectRef& member) {
                going = proceed(run::RunStage::Components, begun, chosen);
                if (!going) {
                    return false;
                }
                host::HostPin pin(member);
                if (auto text = pinText(pin)) {
                    placeLabel(pin, *text);
                }
                return true;
            });
            if (!going) {
                return false;
            }
        }
        return true;
    }

    void walkVias() {
        std::size_t placed = 0;
        document_.vias().forEachWhile([&](const host::ObjectRef& member) {
            if (!proceed(run::RunStage::Vias, placed, 0)) {
                return false;
            }
            host::HostVia via(member);
            host::HostNet net = via.net();
            if (auto text = netText(net)) {
                placeLabel(via, *text);
                ++placed;
            }
            return true;
        });
    }

    // The object text of a net-name or net-class label for an object on `net`, or nothing
    // when the object does not qualify. Names read for the filters are reused as the text.
    std::optional<std::u16string> netText(const host::HostNet& net) const {
        if (net.isNothing()) {
            return std::nullopt;
        }
        if (request_.labelType == run::NetNameLabel) {
            std::u16string netName = net.name();
            host::HostNetClass netClass = net.netClass();
            std::u16string className = netClass.isNothing() ? noClassMarker : netClass.name();
            if (classPasses(className) && netPasses(netName)) {
                return netName;
            }
            return std::nullopt;
        }
        host::HostNetClass netClass = net.netClass();
        if (netClass.isNothing()) {
            return std::nullopt;
        }
        std::u16string className = netClass.name();
        if (classPasses(className)) {
            return className;
        }
        return std::nullopt;
    }

    std::optional<std::u16string> pinText(const host::HostPin& pin) const {
        if (request_.labelType == run::PinNumberLabel) {
            if (pin.net().isNothing() && !request_.unusedPins) {
                return std::nullopt;
            }
            std::u16string name = pin.name();
            if (name.empty()) {
                name = host::fromUtf8(std::to_string(pin.number()));
                showMessage_(name, run::applicationTitle);
            }
            return name;
        }
        auto text = netText(pin.net());
        if (text && request_.labelType == run::NetClassLabel) {
            // The pin's own class property is what the editor shows for the pin; anything
            // but text there labels as empty rather than failing the run.
            host::Value value = pin.netClassProperty();
            return value.type() == host::Value::Type::String ? value.toString() : u"";
        }
        return text;
    }

    template <class Anchor> void placeLabel(const Anchor& anchor, const std::u16string& text) {
        std::int32_t layer = request_.layerIndex + 1;
        if (layer > std::numeric_limits<std::int16_t>::max()) {
            throw host::Failure::overflow();
        }
        host::TextPlacement placement;
        placement.text = u"{" + text + u"}";
        placement.layer = static_cast<std::int16_t>(request_.layerIndex < 0 ? 0 : layer);
        placement.x = anchor.positionX() + settings_.offsetX;
        placement.y = anchor.positionY() + settings_.offsetY;
        // A position near the limit of a double plus an offset can leave the range; a label at
        // infinity could never be saved, so the sum overflows as it would in integer math.
        if (!std::isfinite(placement.x) || !std::isfinite(placement.y)) {
            throw host::Failure::overflow();
        }
        placement.height = settings_.height;
        placement.lineWidth = settings_.lineWidth;
        placement.rotation = settings_.rotation;
        document_.addText(placement);
    }

    const host::HostDocument& document_;
    const run::LabelRequest& request_;
    const run::ShowMessage& showMessage_;
    run::RunProgress* progress_;
    LabelSettings settings_;
    SelectionSet nets_, classes_;
};

} // namespace

void addLabels(const host::HostDocument& document, const run::LabelRequest& request,
               ComponentMask& mask, const run::ShowMessage& showMessage,
               run::RunProgress* progress) {
    Run(document, request, showMessage, progress).start(mask);
}

} // namespace tagwright::labels
