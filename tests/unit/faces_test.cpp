// Face templates and enrolment control against the fake transport: requests
// byte for byte, result mapping, and the refusals that send nothing.
#include <cstring>
#include <functional>
#include <string>

#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

constexpr int kCmdTimeout = 1234;
constexpr int kDataTimeout = 2345;

// A 24-byte ID field as a caller holds it: the text, then `tail`.
Bytes IdField(const std::string& text, std::uint8_t tail = 0) {
    Bytes b(24, tail);
    std::memcpy(b.data(), text.data(), text.size());
    if (text.size() < 24) b[text.size()] = 0;
    return b;
}

Bytes Header(const Bytes& id, std::uint8_t index, std::uint16_t length) {
    return Cat({id, Bytes{0, index, static_cast<std::uint8_t>(length),
                          static_cast<std::uint8_t>(length >> 8)}});
}

Bytes Face(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 13 + 5);
    return b;
}

class Faces : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open(const char* platform = "QV-B200") {
        fakepmx::Terminal t;
        t.options = {{"~Platform", platform}};
        tl::DeviceSession* s = ConnectTo(t);
        s->cmdTimeout = kCmdTimeout;
        s->dataTimeout = kDataTimeout;
        return s;
    }
    const char* Id() const { return reinterpret_cast<const char*>(id_.data()); }
    // The ID field holds "A7", its NUL and non-zero bytes after it.
    Bytes id_ = IdField("A7", 0x5A);
};

TEST_F(Faces, GetSendsTheHeaderInTheCallersBufferAndKeepsTheTransportResult) {
    auto* s = Open();
    const Bytes face = Face(40);
    fakepmx::Push(fakepmx::Ok(Cat({U32(40), face})));
    Bytes buffer(60, 0xEE);
    int length = 50;
    ASSERT_EQ(TL_GetUserFace(s, Id(), 9, buffer.data(), &length), 1);
    const auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].op, Op::ReadData1);
    EXPECT_EQ(calls[0].command, 150);
    // All 24 bytes of the ID field travel as they are, after its NUL too.
    EXPECT_EQ(calls[0].request, Header(id_, 9, 0));
    EXPECT_EQ(calls[0].bufferSize, 50);
    EXPECT_EQ(calls[0].packetSize, 16384);
    EXPECT_EQ(calls[0].timeout, kDataTimeout);
    EXPECT_EQ(length, 44);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 44), Cat({U32(40), face}));
    EXPECT_EQ(Bytes(buffer.begin() + 50, buffer.end()), Bytes(10, 0xEE));
    TL_Close(s);
}

TEST_F(Faces, GetMapsRepliesAndStoresWhatTheTransportReturned) {
    auto* s = Open();
    struct Case {
        int reply, transport, expected;
    } cases[] = {
        {REPLY_ERROR, 0, 0},                      // no such face
        {REPLY_OK, 0, 1},    {REPLY_OK, -1, -2},  // the face did not fit: nothing usable arrived
        {2005, 4, -2},       {0, -1, -2},         // no answer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.transport);
        fakepmx::Push(fakepmx::Exact(c.reply, c.transport));
        Bytes buffer(28);
        int length = 28;
        EXPECT_EQ(TL_GetUserFace(s, Id(), 0, buffer.data(), &length), c.expected);
        EXPECT_EQ(length, c.transport);
    }
    TL_Close(s);
}

TEST_F(Faces, RefusedArgumentsSendAndWriteNothing) {
    auto* s = Open();
    Bytes buffer(64, 0xEE);
    const Bytes face = Face(16);
    struct Case {
        const char* what;
        const char* id;
        int index;
        unsigned char* buffer;
        int capacity;
        bool nullLength;
    } gets[] = {
        {"capacity below the header", Id(), 0, buffer.data(), 27, false},
        {"negative capacity", Id(), 0, buffer.data(), -5, false},
        {"null buffer", Id(), 0, nullptr, 64, false},
        {"null length", Id(), 0, buffer.data(), 64, true},
        {"null ID", nullptr, 0, buffer.data(), 64, false},
        {"index below 0", Id(), -1, buffer.data(), 64, false},
        {"index above 255", Id(), 256, buffer.data(), 64, false},
    };
    for (const auto& c : gets) {
        SCOPED_TRACE(c.what);
        int length = c.capacity;
        EXPECT_EQ(TL_GetUserFace(s, c.id, c.index, c.buffer, c.nullLength ? nullptr : &length), 4);
        EXPECT_EQ(length, c.capacity);
    }
    EXPECT_EQ(buffer, Bytes(64, 0xEE));
    EXPECT_EQ(TL_SetUserFace(s, Id(), 0, face.data(), -1), -3);
    EXPECT_EQ(TL_SetUserFace(s, Id(), 0, face.data(), 131073), -3);
    EXPECT_EQ(TL_SetUserFace(s, Id(), 0, nullptr, 16), 4);
    EXPECT_EQ(TL_SetUserFace(s, nullptr, 0, face.data(), 16), 4);
    EXPECT_EQ(TL_SetUserFace(s, Id(), 256, face.data(), 16), 4);
    EXPECT_EQ(TL_DelUserFace(s, nullptr, 0), 4);
    EXPECT_EQ(TL_DelUserFace(s, Id(), -1), 4);
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(s);
}

TEST_F(Faces, SetSendsTheFaceAheadOfTheHeader) {
    auto* s = Open();
    // The data block is the face's own bytes; the 16-bit field cannot count
    // past 65535.
    struct Case {
        int length;
        std::uint16_t field;
    } cases[] = {{10, 10}, {0, 0}, {65535, 65535}, {65536, 65535}, {131072, 65535}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        // One byte more, so that even the empty face has a non-null buffer.
        const Bytes face = Face(static_cast<std::size_t>(c.length) + 1);
        fakepmx::Push(fakepmx::Ok());
        ClearCalls();
        EXPECT_EQ(TL_SetUserFace(s, Id(), 3, face.data(), c.length), 1);
        const auto calls = NewCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].op, Op::SendCmdData);
        EXPECT_EQ(calls[0].command, 151);
        EXPECT_EQ(calls[0].data, Bytes(face.begin(), face.end() - 1));
        EXPECT_EQ(calls[0].request, Header(id_, 3, c.field));
        EXPECT_EQ(calls[0].timeout, 4 * kDataTimeout);
    }
    TL_Close(s);
}

TEST_F(Faces, WritesAndDeletesMapTheTransportResult) {
    auto* s = Open();
    const Bytes face = Face(8);
    struct Case {
        int reply, transport, set, del;
    } cases[] = {
        {REPLY_OK, 0, 1, 1},      {REPLY_ERROR, 2, 0, 0},   {REPLY_ERROR, 1, -4, -2},
        {REPLY_ERROR, 4, -5, -2}, {REPLY_ERROR, 0, -2, -2}, {REPLY_ERROR, 3, -2, -2},
        {2005, 2, 0, -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.reply) + "/" + std::to_string(c.transport));
        fakepmx::Push(fakepmx::Exact(c.reply, c.transport));
        EXPECT_EQ(TL_SetUserFace(s, Id(), 1, face.data(), 8), c.set);
        fakepmx::Push(fakepmx::Exact(c.reply, c.transport));
        EXPECT_EQ(TL_DelUserFace(s, Id(), 1), c.del);
    }
    const fakepmx::Call del = NewCalls().back();
    EXPECT_EQ(del.op, Op::SendCmd);
    EXPECT_EQ(del.command, 152);
    EXPECT_EQ(del.request, Header(id_, 1, 0));
    EXPECT_EQ(del.bufferSize, 0);
    EXPECT_EQ(del.timeout, kCmdTimeout + 4000);
    TL_Close(s);
}

TEST_F(Faces, EnrolmentRequestsByteForByte) {
    auto* s = Open();
    Bytes full(24, 'Z');
    full.push_back(0);
    const char* fullId = reinterpret_cast<const char*>(full.data());
    struct Case {
        const char* what;
        std::function<int()> call;
        int command, capacity;
        Bytes request;
    } cases[] = {
        {"enrol", [&] { return TL_StartEnroll(s, 42, 3); }, 61, 30, {42, 0, 3}},
        {"enrol by ID", [&] { return TL_StartEnrollEx(s, "A7", 2, 1); }, 61, 30,
         Cat({IdField("A7"), Bytes{2, 1}})},
        {"enrol by a 24-character ID", [&] { return TL_StartEnrollEx(s, fullId, 0, 255); }, 61, 30,
         Cat({Bytes(24, 'Z'), Bytes{0, 255}})},
        {"verify", [&] { return TL_StartVerify(s, 300, 6); }, 60, 100, {44, 1, 6}},
        // Identify shares verify's command; only the empty request differs.
        {"identify", [&] { return TL_StartIdentify(s); }, 60, 0, {}},
        {"cancel", [&] { return TL_CancelOperation(s); }, 62, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fakepmx::Push(fakepmx::Ok());
        ClearCalls();
        EXPECT_EQ(c.call(), 1);
        const auto calls = NewCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].op, Op::SendCmd);
        EXPECT_EQ(calls[0].command, c.command);
        EXPECT_EQ(calls[0].request, c.request);
        EXPECT_EQ(calls[0].requestLength, static_cast<int>(c.request.size()));
        EXPECT_EQ(calls[0].bufferSize, c.capacity);
        EXPECT_EQ(calls[0].timeout, kCmdTimeout);
    }
    TL_Close(s);
}

TEST_F(Faces, TextIdTerminalsKnowTheNumberAsDecimalText) {
    auto* s = Open("QV-TFT350");
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_StartEnroll(s, 42, 3), 1);
    const auto c = NewCalls().at(0);
    EXPECT_EQ(c.request, Cat({Bytes{'4', '2'}, Bytes(22, 0), Bytes{3}}));
    EXPECT_EQ(c.bufferSize, 30);
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_StartEnroll(s, -2147483647 - 1, 0), 1);
    EXPECT_EQ(NewCalls().at(0).request, Cat({Text("-2147483648"), Bytes(12, 0), Bytes{0}}));
    // Verification sends the internal number of the user with that ID.
    Bytes rec(72, 0);
    rec[0] = 9;
    std::memcpy(rec.data() + 48, "42", 2);
    fakepmx::Push(fakepmx::Ok(Cat({U32(72), rec})));
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_StartVerify(s, 42, 3), 1);
    EXPECT_EQ(fakepmx::CallsOf(Op::SendCmd).back().request, (Bytes{9, 0, 3}));
    ClearCalls();
    EXPECT_EQ(TL_StartVerify(s, 43, 3), 4);
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(s);
}

TEST_F(Faces, WideNumbersResolveAndNeverReachAnotherUser) {
    auto* s = Open();
    s->pinWidth = 9;
    Bytes rec(28, 0);
    rec[0] = 5;
    std::memcpy(rec.data() + 24, U32(70000).data(), 4);
    fakepmx::Push(fakepmx::Ok(Cat({U32(28), rec})));
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_StartEnroll(s, 70000, 1), 1);
    EXPECT_EQ(fakepmx::CallsOf(Op::SendCmd).back().request, (Bytes{5, 0, 1}));
    // 70001 is nobody's enrolled number and its low 16 bits are user 4465's
    // internal number: refused, nothing sent.
    ClearCalls();
    EXPECT_EQ(TL_StartEnroll(s, 70001, 1), 4);
    EXPECT_EQ(TL_StartVerify(s, 70001, 1), 4);
    EXPECT_EQ(TL_StartVerify(s, -1, 1), 4);
    TL_Close(s);
    EXPECT_EQ(NewCalls().size(), 1u);  // the close only
}

TEST_F(Faces, EnrolmentRefusalsSendNothing) {
    auto* s = Open();
    const std::string longId(25, 'Z');  // cut to 24 it would be another user's ID
    EXPECT_EQ(TL_StartEnrollEx(s, longId.c_str(), 0, 0), 4);
    EXPECT_EQ(TL_StartEnrollEx(s, nullptr, 0, 0), 4);
    EXPECT_EQ(TL_StartEnrollEx(s, "A7", 256, 0), 4);
    EXPECT_EQ(TL_StartEnrollEx(s, "A7", 0, -1), 4);
    EXPECT_EQ(TL_StartEnroll(s, 42, -1), 4);
    EXPECT_EQ(TL_StartVerify(s, 42, 256), 4);
    EXPECT_EQ(TL_QueryState(s, nullptr), 4);
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(s);
}

TEST_F(Faces, RefusedCapturesReturnTheTransportResultWhateverItIs) {
    auto* s = Open();
    const std::function<int()> exports[] = {
        [&] { return TL_StartEnroll(s, 42, 3); }, [&] { return TL_StartEnrollEx(s, "A", 0, 0); },
        [&] { return TL_StartVerify(s, 42, 3); }, [&] { return TL_StartIdentify(s); },
        [&] { return TL_CancelOperation(s); },
    };
    for (const auto& call : exports) {
        for (int result : {0, 1, 4, 7, -1}) {
            SCOPED_TRACE(result);
            fakepmx::Push(fakepmx::Exact(result == 7 ? 2005 : REPLY_ERROR, result));
            EXPECT_EQ(call(), result);
        }
    }
    TL_Close(s);
}

TEST_F(Faces, QueryStateIsTheNumberOfReplyBytes) {
    auto* s = Open();
    fakepmx::Push(fakepmx::Ok(Bytes{9, 9, 9}));
    int state = -7;
    EXPECT_EQ(TL_QueryState(s, &state), 1);
    EXPECT_EQ(state, 3);
    const auto c = NewCalls().at(0);
    EXPECT_EQ(c.command, 64);
    EXPECT_EQ(c.requestLength, 0);
    EXPECT_EQ(c.bufferSize, 100);
    EXPECT_EQ(c.timeout, kCmdTimeout);
    fakepmx::Push(fakepmx::Exact(REPLY_ERROR, 5));
    EXPECT_EQ(TL_QueryState(s, &state), -2);
    EXPECT_EQ(state, 3);
    TL_Close(s);
}

TEST_F(Faces, NullSessionSendsNothing) {
    int n = 28, state = 0;
    unsigned char buffer[28] = {};
    const char* id = "A7";
    EXPECT_EQ(TL_GetUserFace(nullptr, id, 0, buffer, &n), -1);
    EXPECT_EQ(TL_SetUserFace(nullptr, id, 0, buffer, 1), -1);
    EXPECT_EQ(TL_DelUserFace(nullptr, id, 0), -1);
    EXPECT_EQ(TL_StartEnroll(nullptr, 1, 0), -1);
    EXPECT_EQ(TL_StartEnrollEx(nullptr, id, 0, 0), -1);
    EXPECT_EQ(TL_StartVerify(nullptr, 1, 0), -1);
    EXPECT_EQ(TL_StartIdentify(nullptr), -1);
    EXPECT_EQ(TL_CancelOperation(nullptr), -1);
    EXPECT_EQ(TL_QueryState(nullptr, &state), -1);
    EXPECT_TRUE(fakepmx::Calls().empty());
}

}  // namespace
