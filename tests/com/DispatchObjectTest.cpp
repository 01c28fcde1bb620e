// The client against counting fake automation objects in this process: which ids it uses,
// how it waits for a busy editor, how it numbers failures, and that every reference it takes
// is given back.

#include "FakeDispatch.h"
#include "support/FailureOf.h"

#include "host/Failure.h"
#include "host/com/ComFailure.h"
#include "host/com/DispatchObject.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tagwright;
using namespace tagwright::host::com;
using host::CallKind;
using host::Failure;
using host::ObjectRef;
using host::Value;
using test::FakeDispatch;

namespace {

constexpr GUID typeA = {
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x01}};
constexpr GUID typeB = {
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x02}};

ObjectRef attach(FakeDispatch& fake, std::chrono::milliseconds patience = std::chrono::seconds(2)) {
    return DispatchObject::attach(ComPtr<IDispatch>::share(&fake), BusyEditorWait(patience));
}

Value get(const ObjectRef& object, std::u16string_view member) {
    return object->invoke(member, CallKind::Get, {});
}

std::vector<ObjectRef> walk(const ObjectRef& collection) {
    std::vector<ObjectRef> members;
    auto enumerator = get(collection, u"Items").toObject()->enumerate();
    Value member;
    while (enumerator->next(member)) {
        members.push_back(member.toObject());
    }
    return members;
}

// Two siblings that number their members differently, reached through one collection: reading
// B's name must not run B's Delete, whatever A taught the client.
TEST(DispatchObject, SiblingsShareMemberIdsOnlyWhenTheyDescribeOneType) {
    struct Case {
        const char* what;
        std::optional<GUID> typeOfA, typeOfB;
        DISPID nameOfB;
        int lookups;
    };
    const Case cases[] = {
        {"no types: each object is asked each time it is reached", std::nullopt, std::nullopt, 2,
         4},
        {"different types", typeA, typeB, 2, 2},
        {"one type, numbered alike", typeA, typeA, 1, 1},
        {"one typed, one not", typeA, std::nullopt, 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeDispatch a, b, collection, root;
        a.add(L"Name", 1, FakeDispatch::returns(L"A"));
        a.add(L"Delete", 2, FakeDispatch::fails(E_UNEXPECTED));
        b.add(L"Name", c.nameOfB, FakeDispatch::returns(L"B"));
        b.add(L"Delete", 3 - c.nameOfB, FakeDispatch::fails(E_UNEXPECTED));
        if (c.typeOfA) {
            a.type = test::describeType(*c.typeOfA);
        }
        if (c.typeOfB) {
            b.type = test::describeType(*c.typeOfB);
        }
        collection.items = {&a, &b, &a, &b};
        root.add(L"Items", 1, FakeDispatch::returns(collection));
        {
            std::vector<std::u16string> names;
            for (const ObjectRef& member : walk(attach(root))) {
                names.push_back(get(member, u"name").toString());
            }
            EXPECT_EQ(names, (std::vector<std::u16string>{u"A", u"B", u"A", u"B"}));
        }
        EXPECT_EQ(b.invoked, (std::vector<DISPID>{c.nameOfB, c.nameOfB}));
        EXPECT_EQ(a.lookups + b.lookups, c.lookups);
        for (FakeDispatch* fake : {&a, &b, &collection, &root}) {
            EXPECT_EQ(fake->references, 1u);
        }
    }
}

// Each kind of call a busy editor rejects is made again, and succeeds on the third try; an
// editor that stays busy past the patience fails the call with a message that says what to do.
TEST(DispatchObject, RejectedCallsAreMadeAgainUntilThePatienceRunsOut) {
    using Method = FakeDispatch::Method;
    struct Case {
        Method method;
        int rejections;
        HRESULT rejection;
        bool succeeds;
    };
    const Case cases[] = {
        {Method::TypeInfo, 2, RPC_E_CALL_REJECTED, true},
        {Method::Lookup, 2, RPC_E_SERVERCALL_RETRYLATER, true},
        {Method::Invoke, 2, RPC_E_CALL_REJECTED, true},
        {Method::Next, 2, RPC_E_SERVERCALL_RETRYLATER, true},
        {Method::Invoke, -1, RPC_E_SERVERCALL_RETRYLATER, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.method) * 10 + c.rejections);
        FakeDispatch item, collection, root;
        item.add(L"Name", 7, FakeDispatch::returns(L"U1"));
        item.type = test::describeType(typeA);
        collection.items = {&item};
        root.add(L"Items", 1, FakeDispatch::returns(collection));
        int tries = 0;
        FakeDispatch& busy = c.method == Method::Next ? collection : item;
        busy.rejected = c.method;
        busy.rejections = c.rejections;
        busy.rejection = c.rejection;
        busy.onRejection = [&tries] { ++tries; };
        try {
            std::vector<ObjectRef> members = walk(attach(root, std::chrono::milliseconds(350)));
            ASSERT_EQ(members.size(), 1u);
            EXPECT_EQ(get(members[0], u"Name"), Value(u"U1"));
            EXPECT_TRUE(c.succeeds);
            EXPECT_EQ(tries, 2);
        } catch (const Failure& failure) {
            EXPECT_FALSE(c.succeeds);
            EXPECT_EQ(failure.number(), static_cast<std::int32_t>(c.rejection));
            EXPECT_EQ(failure.description(), u"编辑器正忙，请关闭其对话框后重试");
            EXPECT_GE(tries, 3);
            EXPECT_LE(tries, 5);
        }
        for (FakeDispatch* fake : {&item, &collection, &root}) {
            EXPECT_EQ(fake->references, 1u);
        }
    }
}

// While a rejected call waits, the thread answers messages sent to it but dispatches no input
// and nothing posted: no second handler can start inside the call. Those wait for the window's
// own loop.
TEST(DispatchObject, InputWaitsWhileARejectedCallWaits) {
    static std::vector<UINT> seen;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message >= WM_KEYDOWN) {
            seen.push_back(message);
        }
        return DefWindowProcW(window, message, w, l);
    };
    windowClass.lpszClassName = L"TagwrightInputProbe";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);

    FakeDispatch root;
    root.add(L"Name", 1, FakeDispatch::returns(L"busy no more"));
    root.rejections = 2;
    std::thread sender;
    root.onRejection = [&] {
        if (sender.joinable()) {
            return;
        }
        PostMessageW(window, WM_KEYDOWN, 'A', 0);
        PostMessageW(window, WM_LBUTTONDOWN, 0, 0);
        PostMessageW(window, WM_COMMAND, 1, 0);
        sender = std::thread([window] { SendMessageW(window, WM_APP, 0, 0); });
    };
    EXPECT_EQ(get(attach(root), u"Name"), Value(u"busy no more"));
    sender.join();
    EXPECT_EQ(seen, (std::vector<UINT>{WM_APP}));

    MSG message;
    std::vector<UINT> queued;
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
        queued.push_back(message.message);
    }
    EXPECT_EQ(queued, (std::vector<UINT>{WM_KEYDOWN, WM_LBUTTONDOWN, WM_COMMAND}));
    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, nullptr);
}

// Set by a failing member for IErrorInfo to carry.
HRESULT failWithErrorInfo(HRESULT hr, const wchar_t* description) {
    ComPtr<ICreateErrorInfo> created;
    CreateErrorInfo(created.put());
    created->SetDescription(const_cast<LPOLESTR>(description));
    ComPtr<IErrorInfo> info;
    created.queryInterface(info);
    SetErrorInfo(0, info.get());
    return hr;
}

HRESULT STDAPICALLTYPE fillInLater(EXCEPINFO* info) {
    info->bstrDescription = SysAllocString(L"described late");
    return S_OK;
}

// Numbered as a scripting client numbers them, with a description that is never empty and
// never a bare hexadecimal code where the system has a text.
TEST(DispatchObject, FailuresAreNumberedAsAScriptingClientNumbersThem) {
    using Behaviour = FakeDispatch::Behaviour;
    auto raises = [](WORD code, HRESULT scode, const wchar_t* description,
                     HRESULT(STDAPICALLTYPE * fillIn)(EXCEPINFO*) = nullptr) -> Behaviour {
        return [=](DISPPARAMS&, VARIANT*, EXCEPINFO* info) {
            info->wCode = code;
            info->scode = scode;
            info->bstrDescription = description ? SysAllocString(description) : nullptr;
            info->pfnDeferredFillIn = fillIn;
            return DISP_E_EXCEPTION;
        };
    };
    const std::int32_t hresultItself = 0;
    struct Case {
        const char* what;
        Behaviour behaviour;
        std::int32_t number;        // 0: the HRESULT the call returned
        std::u16string description; // empty: the system's text for that HRESULT
        bool errorInfo = false;
    };
    const Case cases[] = {
        {"bad index", FakeDispatch::fails(DISP_E_BADINDEX), 9, u"下标越界"},
        {"type mismatch", FakeDispatch::fails(DISP_E_TYPEMISMATCH), 13, u"类型不匹配"},
        {"argument count", FakeDispatch::fails(DISP_E_BADPARAMCOUNT), 450,
         u"错误的参数个数或无效的属性赋值"},
        {"argument missing", FakeDispatch::fails(DISP_E_PARAMNOTOPTIONAL), 450,
         u"错误的参数个数或无效的属性赋值"},
        {"overflow", FakeDispatch::fails(DISP_E_OVERFLOW), 6, u"溢出"},
        {"member missing", FakeDispatch::fails(DISP_E_MEMBERNOTFOUND), 438,
         u"对象不支持该属性或方法: Probe"},
        {"script error", FakeDispatch::fails(0x800A03EC), 1004, u"应用程序定义或对象定义的错误"},
        {"script error 0 is no number", FakeDispatch::fails(0x800A0000), hresultItself,
         u"自动化错误 0x800A0000"},
        {"system error", FakeDispatch::fails(E_NOTIMPL), hresultItself, u""},
        {"scode type mismatch", raises(0, DISP_E_TYPEMISMATCH, nullptr), 13, u"类型不匹配"},
        {"scode with text", raises(0, 0x800A01B8, L"找不到对象"), 440, u"找不到对象"},
        {"wCode", raises(1001, 0, L"from wCode"), 1001, u"from wCode"},
        // Wine's system has no text for it, Windows has.
        {"empty exception", raises(0, 0, nullptr), static_cast<std::int32_t>(DISP_E_EXCEPTION),
         systemMessage(DISP_E_EXCEPTION)},
        {"deferred fill-in", raises(0, 0x800A01B8, nullptr, fillInLater), 440, u"described late"},
        {"our server's failure numbered by an HRESULT",
         [](DISPPARAMS&, VARIANT*, EXCEPINFO* info) {
             return exceptionFromFailure(Failure(E_ACCESSDENIED, u"denied"), info);
         },
         static_cast<std::int32_t>(E_ACCESSDENIED), u"denied"},
        {"error info",
         [](DISPPARAMS&, VARIANT*, EXCEPINFO*) {
             return failWithErrorInfo(E_FAIL, L"from IErrorInfo");
         },
         hresultItself, u"from IErrorInfo", true},
        {"error info of an object that does not give it",
         [](DISPPARAMS&, VARIANT*, EXCEPINFO*) { return failWithErrorInfo(E_FAIL, L"stale"); },
         hresultItself, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeDispatch fake;
        fake.errorInfo = c.errorInfo;
        HRESULT returned = S_OK;
        fake.add(L"Probe", 2, [&](DISPPARAMS& p, VARIANT* r, EXCEPINFO* e) {
            return returned = c.behaviour(p, r, e);
        });
        try {
            get(attach(fake), u"Probe");
            ADD_FAILURE() << "no failure";
        } catch (const Failure& failure) {
            std::int32_t number = c.number ? c.number : static_cast<std::int32_t>(returned);
            EXPECT_EQ(failure.number(), number);
            EXPECT_NE(failure.number(), 0);
            std::u16string expected = c.description;
            if (expected.empty()) {
                expected = systemMessage(returned);
                EXPECT_EQ(expected.find(u"0x"), std::u16string::npos) << "the system has a text";
            }
            EXPECT_EQ(failure.description(), expected);
        }
        EXPECT_EQ(fake.references, 1u);
    }
}

// However the system says that the editor has gone, the user reads what a scripting client
// shows (462), and the link makes no further call into the void.
TEST(DispatchObject, AnEditorThatHasGoneIs462AndEndsTheLink) {
    for (HRESULT gone :
         {HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), HRESULT_FROM_WIN32(RPC_S_CALL_FAILED),
          HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE), RPC_E_DISCONNECTED, RPC_E_SERVER_DIED,
          RPC_E_SERVER_DIED_DNE, CO_E_OBJNOTCONNECTED}) {
        SCOPED_TRACE(gone);
        FakeDispatch fake;
        fake.add(L"Probe", 2, FakeDispatch::fails(gone));
        auto object = attach(fake);
        for (int call = 0; call < 2; ++call) {
            const auto failure = test::failureOf([&] { get(object, u"Probe"); });
            ASSERT_TRUE(failure);
            EXPECT_EQ(failure->number(), Failure::EditorUnavailable);
            EXPECT_EQ(failure->description(), u"远程服务器机器不存在或不可用");
        }
        EXPECT_EQ(fake.invoked.size(), 1u);
    }
}

// Walks that end, fail midway, are abandoned, or whose enumeration breaks, give back every
// reference they took: to the collection, its enumerator, and each member.
TEST(DispatchObject, EveryReferenceTakenIsGivenBack) {
    struct Case {
        const char* what;
        bool asUnknown = false;
        int brokenBatch = -1;
        std::size_t stopAfter = 1000;
        std::size_t failingMember = 1000;
        bool fails = false;
    };
    const Case cases[] = {
        {"whole walk"},
        {"members as IUnknown", true},
        {"enumeration breaks in its second batch", false, 1, 1000, 1000, true},
        {"walk abandoned midway", false, -1, 70},
        {"a member fails midway", true, -1, 1000, 100, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<FakeDispatch> members(150);
        FakeDispatch collection, root;
        ComPtr<ITypeInfo> type = test::describeType(typeA);
        for (std::size_t i = 0; i < members.size(); ++i) {
            members[i].type = ComPtr<ITypeInfo>::share(type.get());
            members[i].add(L"Name", 1,
                           i == c.failingMember ? FakeDispatch::fails(DISP_E_BADINDEX)
                                                : FakeDispatch::returns(L"U"));
            collection.items.push_back(&members[i]);
        }
        collection.itemsAsUnknown = c.asUnknown;
        collection.brokenBatch = c.brokenBatch;
        root.add(L"Items", 1, FakeDispatch::returns(collection));
        std::size_t visited = 0;
        try {
            auto enumerator = get(attach(root), u"Items").toObject()->enumerate();
            Value member;
            while (visited < c.stopAfter && enumerator->next(member)) {
                get(member.toObject(), u"Name");
                ++visited;
            }
            EXPECT_FALSE(c.fails);
        } catch (const Failure&) {
            EXPECT_TRUE(c.fails);
        }
        EXPECT_GT(visited, 0u);
        EXPECT_EQ(collection.references, 1u) << "collection or enumerator kept";
        EXPECT_EQ(root.references, 1u);
        for (std::size_t i = 0; i < members.size(); ++i) {
            EXPECT_EQ(members[i].references, 1u) << "member " << i;
        }
    }
}

} // namespace
