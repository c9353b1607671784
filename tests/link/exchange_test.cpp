// The two request exchanges against the emulator: results, waits and the
// exact bytes written on every way out.
#include <functional>
#include <mutex>

#include "support/link_fixture.h"
#include "text/base64.h"
#include "text/cp1251.h"

namespace tallyglass::test_support {
namespace {

using emulator::Event;
using emulator::Fault;
using link::AckSequence;
using link::EndSequence;
using link::LeadIn;
using link::ReleaseSequence;

class ExchangeTest : public LinkFixture {
 protected:
  // The bytes of one attempt up to and including the frame.
  static std::string Attempt(const std::string& frame_text) {
    return link::SelectSequence(1) + AckSequence() + LeadIn() + link::BuildFrame(frame_text);
  }
  static std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  }
  void FailFrames(int count, Fault fault) {
    for (int i = 0; i < count; ++i) emulator_->SetFault(Event::kFrame, i, fault);
  }
  std::string Part(int number, int part) const {
    for (const auto& d : emulator_->Documents())
      if (d.class_code == emulator::kReceiptClass && d.number == number)
        return EncodeBase64(d.bytes.substr(static_cast<std::size_t>(part) * 150, 150));
    return {};
  }
};

// Every way out of RequestB with the request 1;5;0; (frame B;1;5;0;, 12 bytes).
TEST_F(ExchangeTest, RequestBWaysOut) {
  const std::string a = Attempt("B;1;5;0;");
  struct Case {
    const char* name;
    std::function<void(emulator::RegisterEmulator&)> faults;
    int result;
    std::string written;
    int waits;
  };
  const Case cases[] = {
      {"success", [](auto&) {}, 12, LeadIn() + a + AckSequence() + EndSequence(), 0},
      {"nine E replies, then success",
       [](auto& e) { for (int i = 0; i < 9; ++i) e.SetFault(Event::kFrame, i, Fault::kErrorReply); },
       12, LeadIn() + Repeat(a + AckSequence(), 10) + EndSequence(), 0},
      {"ten E replies",
       [](auto& e) { for (int i = 0; i < 10; ++i) e.SetFault(Event::kFrame, i, Fault::kErrorReply); },
       link::kErrorReply, LeadIn() + Repeat(a + AckSequence(), 10) + EndSequence() + ReleaseSequence(),
       0},
      {"ten refused frames",
       [](auto& e) { for (int i = 0; i < 10; ++i) e.SetFault(Event::kFrame, i, Fault::kRefuseFrame); },
       link::kAllRefused, LeadIn() + Repeat(a, 10) + EndSequence(), 0},
      {"nine refused frames, then success",
       [](auto& e) { for (int i = 0; i < 9; ++i) e.SetFault(Event::kFrame, i, Fault::kRefuseFrame); },
       12, LeadIn() + Repeat(a, 10) + AckSequence() + EndSequence(), 0},
      {"bad check value: no ACK, nothing at all",
       [](auto& e) { e.SetFault(Event::kFrame, 0, Fault::kBadCheckValue); }, link::kBadCheckValue,
       LeadIn() + a, 0},
      {"one check byte wrong: refused all the same",
       [](auto& e) { e.SetFault(Event::kFrame, 0, Fault::kOneCheckByteWrong); }, link::kBadCheckValue,
       LeadIn() + a, 0},
      {"fill bytes inside the reply",
       [](auto& e) { e.SetFault(Event::kFrame, 0, Fault::kFillBytes); }, 12,
       LeadIn() + a + AckSequence() + EndSequence(), 0},
      {"gap in the reply text",
       [](auto& e) { e.SetFault(Event::kFrame, 0, Fault::kCutReply); }, link::kFellSilent,
       LeadIn() + a + ReleaseSequence(), 0},
      {"overlong reply read to its end",
       [](auto& e) { e.SetFault(Event::kFrame, 0, Fault::kOverlongReply); }, link::kReplyTooLong,
       LeadIn() + a + ReleaseSequence(), 0},
      {"no ACK: eleven reads, eleven waits",
       [](auto& e) { e.SetFault(Event::kFrame, 0, Fault::kSilence); }, link::kFellSilent,
       LeadIn() + a + ReleaseSequence(), 11},
      {"ACK but no start byte", [](auto& e) { e.SetFault(Event::kFrame, 0, Fault::kAckOnly); },
       link::kFellSilent, LeadIn() + a + ReleaseSequence(), 11},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Connect();
    c.faults(*emulator_);
    EXPECT_EQ(link::RequestB(1, "1;5;0;", 0, true), c.result);
    EXPECT_EQ(Written(), c.written);
    EXPECT_EQ(waits_, std::vector<int>(static_cast<std::size_t>(c.waits), 1000));
    if (c.result > 0) {
      EXPECT_EQ(link::ReplyText(), Part(5, 0));
    }
    link::ClosePort();
  }
}

TEST_F(ExchangeTest, NothingIsSentForBadArguments) {
  Connect();
  EXPECT_EQ(link::RequestB(0, "1;5;0;", 0, true), link::kBadNetworkNumber);
  EXPECT_EQ(link::RequestB(100, "1;5;0;", 0, true), link::kBadNetworkNumber);
  EXPECT_EQ(link::RequestF(0, "x", 0, true), link::kBadNetworkNumber);
  EXPECT_EQ(link::RequestF(1, "x", 2, true), link::kBadMode);
  EXPECT_EQ(link::RequestF(1, "x", -1, true), link::kBadMode);
  EXPECT_EQ(link::RequestB(1, std::string(195, '1'), 0, true), link::kBadRequestText);
  EXPECT_EQ(link::RequestB(1, std::string("1;\r;0;"), 0, true), link::kBadRequestText);
  EXPECT_EQ(link::PollStation(100), link::kBadNetworkNumber);
  EXPECT_EQ(written_, "");
  // 194 bytes of request text make the longest frame text, 196 bytes.
  EXPECT_EQ(link::RequestB(1, std::string(194, '1'), 0, true), link::kErrorReply);
  EXPECT_EQ(emulator_->FramesReceived(), 10);
}

TEST_F(ExchangeTest, RequestFLooksUpAPeriod) {
  Connect();
  struct Case {
    const char* request;
    const char* reply;
  };
  const Case cases[] = {
      {"01;04;16;00;00;07;04;16;13;45;", "5;7;"},  // 13:45:30 lies in the end minute
      {"01;04;16;00;00;07;04;16;13;44;", "5;6;"},
      {"02;04;16;00;00;05;04;16;23;59;", "6;6;"},
      {"01;05;16;00;00;31;05;16;23;59;", "0;0;"},  // no receipt in the period
  };
  for (const auto& c : cases) {
    Clear();
    const std::string frame_text = std::string("F;") + c.request;
    EXPECT_EQ(link::RequestF(1, c.request, 0, true), 36) << c.request;
    EXPECT_EQ(link::ReplyText(), c.reply) << c.request;
    EXPECT_EQ(waits_, std::vector<int>{1000}) << "the wait after the ACK";
    EXPECT_EQ(Written(), LeadIn() + Attempt(frame_text) + AckSequence() + EndSequence());
  }
}

// The lookup's reply is verified as a document part is: a damaged one would
// name wrong receipts.
TEST_F(ExchangeTest, RequestFRefusesADamagedReply) {
  const std::string request = "01;04;16;00;00;07;04;16;13;45;";
  for (const Fault fault : {Fault::kBadCheckValue, Fault::kOneCheckByteWrong}) {
    Connect();
    emulator_->SetFault(Event::kFrame, 0, fault);
    EXPECT_EQ(link::RequestF(1, request, 0, true), link::kBadCheckValue) << emulator::FaultName(fault);
    EXPECT_EQ(Written(), LeadIn() + Attempt("F;" + request)) << "no ACK, no release";
    link::ClosePort();
  }
}

TEST_F(ExchangeTest, RequestFWithoutAckFallsSilentAfterOneRead) {
  Connect();
  emulator_->SetFault(Event::kFrame, 0, Fault::kSilence);
  EXPECT_EQ(link::RequestF(1, "01;04;16;00;00;07;04;16;13;45;", 0, true), link::kFellSilent);
  EXPECT_EQ(Written(), LeadIn() + Attempt("F;01;04;16;00;00;07;04;16;13;45;") + ReleaseSequence());
  EXPECT_TRUE(waits_.empty());
}

TEST_F(ExchangeTest, CyrillicRequestTextGoesOutConvertedOnceOnEveryAttempt) {
  Connect();
  std::mutex mutex;
  std::vector<std::string> requests;
  emulator_->SetFaultCallback([&](const Event& e) {
    std::lock_guard lock(mutex);
    if (e.kind == Event::kFrame) requests.push_back(e.request);
    return e.kind == Event::kFrame ? Fault::kRefuseFrame : Fault::kNone;
  });
  const std::string text = Utf8ToCp1251("Звіт;Їжак;я;");
  EXPECT_EQ(link::RequestB(1, text, 0, true), link::kAllRefused);
  const std::string once = link::ToDeviceText("B;" + text);
  EXPECT_NE(once, link::ToDeviceText(once));
  std::lock_guard lock(mutex);
  ASSERT_EQ(requests.size(), 10u);
  for (const auto& r : requests) EXPECT_EQ(r, once);
  EXPECT_EQ(link::ReplyText(), "ZENTA1 EMULATOR") << "only the status text was read";
}

// The limit of the check value: two bits flipped 255 bits apart leave the
// register at zero, so the link takes a damaged line. The document check above
// the link is what catches such a line.
TEST_F(ExchangeTest, TwoBitsTwoHundredFiftyFiveApartPassTheCheckValue) {
  Connect();
  emulator_->SetFault(Event::kFrame, 0, Fault::kHiddenDamage);
  EXPECT_EQ(link::RequestB(1, "1;6;0;", 0, true), 12);
  std::string damaged(Part(6, 0));
  damaged[0] = static_cast<char>(damaged[0] ^ 0x80);
  damaged[31] = static_cast<char>(damaged[31] ^ 0x01);
  EXPECT_EQ(link::ReplyText(), damaged);
}

TEST_F(ExchangeTest, OverlongReplyLeavesTheLinkInStep) {
  Connect();
  emulator_->SetFault(Event::kFrame, 0, Fault::kOverlongReply);
  EXPECT_EQ(link::RequestB(1, "1;6;0;", 0, true), link::kReplyTooLong);
  EXPECT_EQ(link::ReplyText().size(), link::kReplyBufferSize) << "no CR: the text was cut";
  EXPECT_EQ(link::RequestB(1, "1;6;1;", 0, true), 12);
  EXPECT_EQ(link::ReplyText(), Part(6, 1));
}

TEST_F(ExchangeTest, ExchangesFailWhenTheRegisterDisappears) {
  Connect();
  emulator_->SetFault(Event::kFrame, 1, Fault::kCloseLine);
  EXPECT_EQ(link::RequestB(1, "1;5;0;", 0, true), 12);
  EXPECT_EQ(link::RequestB(1, "1;6;0;", 0, true), link::kFellSilent);
  EXPECT_TRUE(emulator_->LineClosed());
  EXPECT_EQ(link::RequestB(1, "1;6;0;", 0, true), link::kNoLink);
}

// Seeded random faults: whatever goes wrong, a positive result always carries
// the right part, and the link never falls out of step for good.
TEST_F(ExchangeTest, RandomFaultsNeverCorruptAReply) {
  Connect();
  emulator_->SetRandomFaults(
      20261210, 0.3,
      {Fault::kRefuseFrame, Fault::kErrorReply, Fault::kBadCheckValue, Fault::kOneCheckByteWrong,
       Fault::kFillBytes, Fault::kCutReply, Fault::kOverlongReply, Fault::kWrongFirstByte});
  int successes = 0;
  for (int i = 0; i < 40; ++i) {
    const int part = i % 3;
    const int result = link::RequestB(1, "1;6;" + std::to_string(part) + ";", 0, true);
    if (result > 0) {
      ++successes;
      ASSERT_EQ(result, 12);
      ASSERT_EQ(link::ReplyText(), Part(6, part)) << "exchange " << i;
    } else {
      ASSERT_TRUE(result == link::kNoLink || result == link::kFellSilent ||
                  result == link::kErrorReply || result == link::kBadCheckValue ||
                  result == link::kAllRefused || result == link::kReplyTooLong)
          << result;
    }
  }
  EXPECT_GT(successes, 20);
  emulator_->ClearFaults();
  EXPECT_EQ(link::RequestB(1, "1;6;0;", 0, true), 12);
}

}  // namespace
}  // namespace tallyglass::test_support
