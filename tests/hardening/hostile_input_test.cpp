// Hostile bytes from a file or from the line: entity expansion, external
// entities and network DTDs, a huge text, deep nesting, replies that never
// end. Each ends in a clear failure, in bounded time and memory, and without
// the network.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <libxml/parser.h>

#include "support/reader_fakes.h"
#include "journal/loader.h"
#include "journal/parse_load.h"
#include "journal/xml_document.h"
#include "link/frame.h"
#include "link/link.h"
#include "reader/request.h"
#include "text/base64.h"
#include "text/cp1251.h"

#include "support/test_files.h"

namespace tallyglass {
namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n";

std::string BillionLaughs(bool in_attribute) {
  std::string dtd = "<!DOCTYPE RQ [<!ENTITY l0 \"lol\">";
  for (int i = 1; i <= 10; ++i) {
    dtd += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) dtd += "&l" + std::to_string(i - 1) + ";";
    dtd += "\">";
  }
  dtd += "]>\r\n";
  const std::string body = in_attribute
                               ? "<DAT DI=\"1\"><C T=\"0\"><L N=\"1\" NM=\"&l10;\"></L></C></DAT>"
                               : "<DAT DI=\"1\"><C T=\"0\"><L N=\"1\">&l10;</L></C></DAT>";
  return kDeclaration + dtd + "<RQ V=\"1\">\r\n" + body + "\r\n</RQ>\r\n";
}

std::string WithDoctype(const std::string& doctype, const std::string& line_text) {
  return kDeclaration + doctype + "\r\n<RQ V=\"1\">\r\n<DAT DI=\"1\"><C T=\"0\"><L N=\"1\">" +
         line_text + "</L></C></DAT>\r\n</RQ>\r\n";
}

std::string DeepDocument(int depth) {
  std::string doc = "<DAT DI=\"1\">";
  for (int i = 0; i < depth; ++i) doc += "<C>";
  for (int i = 0; i < depth; ++i) doc += "</C>";
  return doc + "</DAT>";
}

struct HostileText {
  const char* name;
  std::string text;
};

std::vector<HostileText> HostileJournals() {
  return {
      {"entity expansion in text", BillionLaughs(false)},
      {"entity expansion in an attribute", BillionLaughs(true)},
      {"external entity from a file",
       WithDoctype("<!DOCTYPE RQ [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>", "&x;")},
      {"external entity from the network",
       WithDoctype("<!DOCTYPE RQ [<!ENTITY x SYSTEM \"http://192.0.2.1/x\">]>", "&x;")},
      {"external parameter entity from the network",
       WithDoctype("<!DOCTYPE RQ [<!ENTITY % p SYSTEM \"http://example.com/p.dtd\"> %p;]>", "x")},
      {"document type from the network",
       WithDoctype("<!DOCTYPE RQ SYSTEM \"http://example.com/journal.dtd\">", "x")},
      {"deep nesting", kDeclaration + "<RQ V=\"1\">\r\n" + DeepDocument(100000) + "\r\n</RQ>\r\n"},
  };
}

long PeakRssKb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(HostileJournal, EachTextFailsToLoadAndLeavesTheModelAlone) {
  for (const HostileText& c : HostileJournals()) {
    rq model;
    control loader;
    std::string failure;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(parse_and_load(c.text, model, loader, &failure)) << c.name;
    EXPECT_FALSE(failure.empty()) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.name;
    EXPECT_EQ(model.doc_count, 0) << c.name;
  }
}

TEST(HostileJournal, TheParserNeverOpensASocket) {
  // The parser's options leave the network out; a child process running every
  // hostile text with socket creation forbidden shows that nothing tries.
  EXPECT_NE(journal_parse_options() & XML_PARSE_NONET, 0);
  EXPECT_EQ(journal_parse_options() & (XML_PARSE_NOENT | XML_PARSE_DTDLOAD | XML_PARSE_HUGE), 0);
  const std::vector<HostileText> cases = HostileJournals();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socket, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_connect, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
      ::_exit(100);
    int loaded = 0;
    for (const HostileText& c : cases) {
      rq model;
      control loader;
      if (parse_and_load(c.text, model, loader)) ++loaded;
    }
    ::_exit(loaded);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_FALSE(WIFSIGNALED(status)) << "the parser opened a socket (signal " << WTERMSIG(status) << ")";
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_NE(WEXITSTATUS(status), 100) << "the socket filter could not be installed";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "hostile texts that loaded";
}

// A register that hands out one document given as raw bytes, in pieces as
// large as the caller likes (the scripted link has no line-length bound).
class HostileRegister : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::MakeScratchDir("tallyglass-hostile");
    state_.work_dir = dir_.string();
    register_.install(state_);
    register_.answer_b = [this](const std::string& request) {
      int code = 0, n = 0, part = 0;
      std::sscanf(request.c_str(), "%d;%d;%d;", &code, &n, &part);
      const std::size_t from = static_cast<std::size_t>(part) * piece_;
      if (n != 1 || from >= document_.size()) return test_support::ScriptedRegister::Answer{12, "D;"};
      return test_support::ScriptedRegister::Answer{12, EncodeBase64(document_.substr(from, piece_))};
    };
    state_.Edit1 = "1";
    state_.Edit2 = "1";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  RequestResult Fetch() { return run_request(state_, ui_, ui_.control, kByNumbers); }

  std::filesystem::path dir_;
  ReaderState state_;
  test_support::RecordingUi ui_;
  test_support::ScriptedRegister register_;
  std::string document_;
  std::size_t piece_ = 150;
};

TEST_F(HostileRegister, HostileDocumentsEndInTheFailureLine) {
  static const std::string kStructure =
      Utf8ToCp1251("Непредвиденный сбой в структуре получаемой информации!");
  const HostileText cases[] = {
      {"a document type inside the journal",
       "<!DOCTYPE RQ [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><DAT DI=\"1\">&x;</DAT>"},
      {"deep nesting", DeepDocument(100000)},
      {"an undeclared entity", "<DAT DI=\"1\"><C T=\"0\"><L N=\"1\">&x;</L></C></DAT>"},
  };
  for (const HostileText& c : cases) {
    document_ = c.text;
    state_.check_state.clear();
    state_.listing.clear();
    const RequestResult result = Fetch();
    EXPECT_EQ(result.outcome, RequestOutcome::kStructureFailure) << c.name;
    ASSERT_FALSE(state_.listing.empty()) << c.name;
    EXPECT_EQ(state_.listing.back(), kStructure) << c.name;
    EXPECT_EQ(state_.model.doc_count, 0) << c.name;
  }
}

// The peak resident size is the process's high-water mark: CTest runs every
// test in a process of its own (gtest_discover_tests), so no earlier test has
// raised it. Run alone when running the program by hand.
TEST_F(HostileRegister, AHundredMegabyteDocumentFailsInBoundedMemory) {
  static const std::string kStructure =
      Utf8ToCp1251("Непредвиденный сбой в структуре получаемой информации!");
  constexpr std::size_t kSize = 100u << 20;
  const std::string head = "<DAT DI=\"1\"><C T=\"0\"><L N=\"1\">";
  document_ = head + std::string(kSize, 'a') + "</L></C></DAT>";
  piece_ = 4u << 20;
  const long rss_before = PeakRssKb();
  const auto start = std::chrono::steady_clock::now();
  const RequestResult result = Fetch();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(result.outcome, RequestOutcome::kStructureFailure);
  ASSERT_FALSE(state_.listing.empty());
  EXPECT_EQ(state_.listing.back(), kStructure);
  // The text is held a few times over (document buffer, raw list, joined
  // text, the parser's input); the parser itself stops at its own limits.
  const long grown_mb = (PeakRssKb() - rss_before) / 1024;
  EXPECT_LT(grown_mb, 1200) << "peak memory grew by " << grown_mb << " MB";
  EXPECT_LT(took, std::chrono::seconds(60));
  EXPECT_EQ(std::filesystem::file_size(dir_ / "temp.xml"), 
            std::string("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n").size() +
                document_.size() + 2 + 7);
  document_.clear();
  document_.shrink_to_fit();
}

// A pseudo-terminal whose register side sends the given bytes as fast as the
// link takes them and swallows what the link writes.
class FakeLine {
 public:
  explicit FakeLine(std::string bytes) : bytes_(std::move(bytes)) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    path_ = ::ptsname(master_);
    const int slave = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::close(slave);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this] { Serve(); });
  }
  ~FakeLine() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (master_ >= 0) ::close(master_);
  }
  const std::string& Path() const { return path_; }

 private:
  void Serve() {
    std::size_t sent = 0;
    char sink[256];
    while (!stop_) {
      pollfd p{master_, static_cast<short>(POLLIN | (sent < bytes_.size() ? POLLOUT : 0)), 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      if (p.revents & POLLIN) (void)::read(master_, sink, sizeof sink);
      if ((p.revents & POLLOUT) && sent < bytes_.size()) {
        const ssize_t n = ::write(master_, bytes_.data() + sent, bytes_.size() - sent);
        if (n > 0) sent += static_cast<std::size_t>(n);
      }
    }
  }

  std::string bytes_;
  int master_ = -1;
  std::string path_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

// A reply line as the register sends it, with a correct check value.
std::string Line(const std::string& text) {
  std::string body = text + "\r";
  const std::uint16_t check = link::FrameCheck(body);
  return "\n" + body + static_cast<char>(check >> 8) + static_cast<char>(check & 0xFF);
}

class HostileLine : public ::testing::Test {
 protected:
  void SetUp() override { link::SetWaitFunction([](int) {}); }
  void TearDown() override {
    link::ClosePort();
    link::SetWaitFunction(nullptr);
  }
};

TEST_F(HostileLine, OverlongAndUnendedLinesGiveTheLinksCodes) {
  const std::string status = Line("ZENTA1 EMULATOR");
  const std::string long_text(10000, 'A');
  const std::string good = Line("QUJD");
  struct Case {
    const char* name;
    std::string bytes;
    bool poll_only;
    int expected;
  };
  const Case cases[] = {
      {"a reply of 10000 bytes", status + "\x06" + Line(long_text), false, link::kReplyTooLong},
      {"a reply with no CR", status + "\x06\n" + long_text, false, link::kFellSilent},
      {"a status text without CR", "\nZENTA1 EMULATOR" + long_text, true, link::kNoLink},
      {"a status of 10000 bytes, then a good one", Line(long_text) + status, true, 0},
  };
  for (const Case& c : cases) {
    FakeLine line(c.bytes);
    ASSERT_FALSE(line.Path().empty());
    ASSERT_EQ(link::OpenPort(line.Path(), 115200), link::kPortOpened) << c.name;
    const int result = c.poll_only ? link::PollStation(1) : link::RequestB(1, "1;1;0;", 0, true);
    EXPECT_EQ(result, c.expected) << c.name;
    const auto& buffer = link::ReplyBuffer();
    EXPECT_LE(link::ReplyText().size(), buffer.size()) << c.name;
    if (c.expected == link::kReplyTooLong) {
      // The buffer holds the text's first bytes and nothing past its end.
      EXPECT_EQ(std::string(buffer.begin(), buffer.end() - 1), long_text.substr(0, buffer.size() - 1))
          << c.name;
    }
    if (c.expected == 0) {
      EXPECT_EQ(link::ReplyText(), "ZENTA1 EMULATOR") << c.name;
    }
    link::ClosePort();
  }
}

TEST_F(HostileLine, AfterAnOverlongReplyTheNextExchangeIsInStep) {
  const std::string status = Line("ZENTA1 EMULATOR");
  FakeLine line(status + "\x06" + Line(std::string(10000, 'A')) + status + "\x06" + Line("QUJD"));
  ASSERT_EQ(link::OpenPort(line.Path(), 115200), link::kPortOpened);
  EXPECT_EQ(link::RequestB(1, "1;1;0;", 0, true), link::kReplyTooLong);
  EXPECT_EQ(link::RequestB(1, "1;1;0;", 0, true), 12);
  EXPECT_EQ(link::ReplyText(), "QUJD");
}

}  // namespace
}  // namespace tallyglass
