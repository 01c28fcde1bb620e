#include "labels/LabelSettings.h"

#include "host/Failure.h"
#include "host/Value.h"
#include "run/LabelRequest.h"

#include <charconv>
#include <string>

namespace tagwright::labels {

namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

} // namespace

double parseNumber(std::u16string_view text) {
    if (text.empty()) {
        return 0;
    }
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    // Only the plain decimal form: the filters let "-" and "." through anywhere, so "1.2.3",
    // a lone "-" or "." must be refused here rather than read as a prefix.
    std::string ascii;
    int digits = 0, points = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            ++digits;
        } else if (c == u'.') {
            ++points;
        } else if (!(c == u'-' && i == 0)) {
            throw host::Failure::typeMismatch();
        }
        ascii.push_back(static_cast<char>(c));
    }
    if (digits == 0 || points > 1) {
        throw host::Failure::typeMismatch();
    }
    double value = 0;
    auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Out of range either way: a whole part of hundreds of digits overflows, while a
        // fraction too small for a double rounds to zero, as the nearest double is.
        bool fractionOnly = ascii.find_first_not_of("-0") == ascii.find('.');
        if (!fractionOnly) {
            throw host::Failure::overflow();
        }
        return ascii.front() == '-' ? -0.0 : 0.0;
    }
    if (result.ec != std::errc() || result.ptr != ascii.data() + ascii.size()) {
        throw host::Failure::typeMismatch();
    }
    return value;
}

LabelSettings makeLabelSettings(std::int32_t unitCode, const run::LabelRequest& request) {
    std::int16_t unit = host::Value(unitCode).toInt16();
    LabelSettings settings;
    settings.rotation = parseNumber(request.rotation);
    double x = parseNumber(request.offsetX);
    double y = parseNumber(request.offsetY);
    double h = parseNumber(request.fontHeight);
    double w = parseNumber(request.fontWidth);

    double divisor = 0;
    switch (unit) {
    case 2:
        divisor = 1;
        break;
    case 3:
        divisor = 1000;
        break;
    case 4:
        // 39.6 mils to the millimetre, not the exact 39.37: labels come out about 0.6 %
        // smaller than typed, the same size as those already on the users' boards.
        divisor = 39.6;
        break;
    default:
        return settings; // unknown units place labels at the pad with zero size
    }
    settings.offsetX = x / divisor;
    settings.offsetY = y / divisor;
    settings.height = h / divisor;
    settings.lineWidth = w / divisor;
    return settings;
}

} // namespace tagwright::labels
