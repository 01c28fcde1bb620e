#include "host/com/ComFailure.h"

#include "host/com/ComHandles.h"

#include <winerror.h>

#include <cstdio>
#include <optional>

namespace tagwright::host::com {

namespace {

// Scripting runtimes carry their error numbers as HRESULTs of this facility.
constexpr HRESULT controlFacilityError(std::int32_t number) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(number));
}

std::int32_t numberOf(HRESULT hr) {
    switch (hr) {
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND:
        return Failure::MemberNotSupported;
    case DISP_E_TYPEMISMATCH:
        return Failure::TypeMismatch;
    case DISP_E_OVERFLOW:
        return Failure::Overflow;
    case DISP_E_BADINDEX:
        return Failure::SubscriptOutOfRange;
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL:
        return Failure::WrongArgumentCount;
    default:
        break;
    }
    // Error 0 does not exist: 0x800A0000 stays an HRESULT.
    if (FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_CONTROL && HRESULT_CODE(hr) != 0) {
        return HRESULT_CODE(hr);
    }
    return static_cast<std::int32_t>(hr);
}

// What to show for `number` when the server said nothing: the system's text of an HRESULT,
// else the scripting runtime's text for the number.
std::u16string textFor(std::int32_t number, HRESULT hr, std::u16string_view member) {
    if (number == static_cast<std::int32_t>(hr)) {
        return systemMessage(hr);
    }
    return Failure::describe(number, member);
}

std::u16string formatMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (length > 0 && buffer) {
        text = fromWide(buffer, length);
    }
    LocalFree(buffer);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ' ||
                             text.back() == u'.')) {
        text.pop_back();
    }
    return text;
}

} // namespace

std::u16string systemMessage(HRESULT hr) {
    std::u16string text = formatMessage(static_cast<DWORD>(hr));
    // Errors of the RPC layer (the editor has gone away) are Win32 codes wrapped in an HRESULT.
    if (text.empty() && HRESULT_FACILITY(hr) == FACILITY_WIN32) {
        text = formatMessage(static_cast<DWORD>(HRESULT_CODE(hr)));
    }
    if (text.empty()) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(hr));
        text = Failure::describe(Failure::AutomationError) + u" ";
        text.append(hex, hex + std::char_traits<char>::length(hex));
    }
    return text;
}

bool isEditorGone(HRESULT hr) {
    for (HRESULT gone :
         {HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), HRESULT_FROM_WIN32(RPC_S_CALL_FAILED),
          HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE), RPC_E_DISCONNECTED, RPC_E_SERVER_DIED,
          RPC_E_SERVER_DIED_DNE, CO_E_OBJNOTCONNECTED}) {
        if (hr == gone) {
            return true;
        }
    }
    return false;
}

Failure failureFromHresult(HRESULT hr, std::u16string_view member) {
    std::int32_t number = numberOf(hr);
    Failure failure =
        isEditorGone(hr) ? Failure::editorGone({}) : Failure(number, textFor(number, hr, member));
    failure.setHresult(hr);
    return failure;
}

Failure failureFromException(EXCEPINFO& info, std::u16string_view member, bool mayFillIn) {
    if (info.pfnDeferredFillIn && mayFillIn) {
        info.pfnDeferredFillIn(&info);
    }
    info.pfnDeferredFillIn = nullptr;
    Bstr source = Bstr::adopt(info.bstrSource);
    Bstr description = Bstr::adopt(info.bstrDescription);
    Bstr helpFile = Bstr::adopt(info.bstrHelpFile);
    info.bstrSource = info.bstrDescription = info.bstrHelpFile = nullptr;

    // A server that fills in neither code has still raised an exception.
    HRESULT hr = FAILED(info.scode) ? info.scode : DISP_E_EXCEPTION;
    std::int32_t number = info.wCode != 0 ? info.wCode : numberOf(hr);
    std::u16string text = description.text();
    if (text.empty()) {
        text = textFor(number, hr, member);
    }
    Failure failure(number, std::move(text));
    failure.setHresult(hr);
    return failure;
}

Failure failureFromErrorInfo(HRESULT hr, IErrorInfo& info, std::u16string_view member) {
    Failure failure = failureFromHresult(hr, member);
    BSTR raw = nullptr;
    Bstr description;
    if (SUCCEEDED(info.GetDescription(&raw))) {
        description = Bstr::adopt(raw);
    }
    if (description.text().empty()) {
        return failure;
    }
    Failure described(failure.number(), description.text());
    described.setHresult(hr);
    return described;
}

HRESULT exceptionFromFailure(const Failure& failure, EXCEPINFO* info) {
    std::int32_t number = failure.number();
    switch (number) {
    case Failure::MemberNotSupported:
        return DISP_E_MEMBERNOTFOUND;
    case Failure::TypeMismatch:
        return DISP_E_TYPEMISMATCH;
    case Failure::Overflow:
        return DISP_E_OVERFLOW;
    default:
        break;
    }
    if (info) {
        *info = EXCEPINFO{};
        info->bstrSource = Bstr(u"Tagwright").release();
        info->bstrDescription = Bstr(failure.description()).release();
        if (number > 0 && number <= 0xFFFF) {
            info->scode = controlFacilityError(number);
        } else if (number < 0) {
            info->scode = static_cast<HRESULT>(number);
        } else {
            info->scode = E_FAIL;
        }
    }
    return DISP_E_EXCEPTION;
}

} // namespace tagwright::host::com
