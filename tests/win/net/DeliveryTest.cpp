// Report delivery to receivers on port 800 of loopback addresses: the bytes
// on the wire, the list of computers, and failures of every kind that end
// the delivery to one computer and leave the next one served.
#include "net/Delivery.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "Listener.h"
#include "WinsockSession.h"

namespace ns {
namespace {

using test::TTestListener;

const auto* const Session = testing::AddGlobalTestEnvironment(new test::TWinsockSession);

// Generous: a listener sees a finished delivery at once.
constexpr int WaitMs = 20000;

// A receiver that has stopped reading keeps a sender this long per send. It
// must still be long enough for a receiver that reads to take 16 MiB on a
// machine busy with other builds: one second was not, at times.
const TDeliverySettings Impatient{800, 15, 4};

std::uint32_t LengthField(const std::string& message) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The computer name as the system gives it to a buffer of any size.
std::string ComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof name;
  return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

TEST(Delivery, MessageIsTheHeaderThenTheTextAndOneNul) {
  TTestListener receiver("127.0.0.1", 800);
  ASSERT_TRUE(receiver.IsListening());
  // 100 bytes of report, Cyrillic included.
  std::string text = "Протокол выгрузки Daily\r\n";
  text += std::string(100 - text.size(), 'я');
  ASSERT_TRUE(DeliverLog("127.0.0.1", text));

  std::vector<std::string> received = receiver.Received(1, WaitMs);
  ASSERT_EQ(received.size(), 1u);
  const std::string& message = received[0];
  ASSERT_EQ(message.size(), 121u);
  EXPECT_EQ(LengthField(message), 101u);
  const std::string sender = message.substr(4, 16);
  const std::size_t nul = sender.find('\0');
  ASSERT_NE(nul, std::string::npos) << "sender field without its NUL";
  const std::string name = ComputerName();
  if (name.size() <= 15) {
    EXPECT_EQ(sender.substr(0, nul), name);
  } else {
    EXPECT_EQ(sender, std::string(16, '\0'));  // the name does not fit: no name at all
  }
  EXPECT_EQ(message.substr(20), text + '\0');
}

TEST(Delivery, ReportGoesToEachListedComputerInTurn) {
  TTestListener first("127.0.0.1", 800);
  TTestListener second("127.0.0.2", 800);
  ASSERT_TRUE(first.IsListening() && second.IsListening());

  DeliverReport(" localhost ; 127.0.0.2 ", "Daily", "строка 1\r\nстрока 2\r\n");
  const std::string report = "Протокол выгрузки Daily\r\nстрока 1\r\nстрока 2\r\n";
  for (TTestListener* receiver : {&first, &second}) {
    std::vector<std::string> received = receiver->Received(1, WaitMs);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].substr(20), report + '\0');
    EXPECT_EQ(LengthField(received[0]), report.size() + 1);
  }

  // An empty log: the header line alone.
  DeliverReport("127.0.0.2", "Daily", "");
  std::vector<std::string> received = second.Received(2, WaitMs);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].substr(20), std::string("Протокол выгрузки Daily\r\n") + '\0');
}

TEST(Delivery, TheFirstEmptyEntryEndsTheListAndBlanksAloneSendNothing) {
  TTestListener first("127.0.0.1", 800);
  TTestListener second("127.0.0.2", 800);
  ASSERT_TRUE(first.IsListening() && second.IsListening());

  DeliverReport("127.0.0.1;;127.0.0.2", "Daily", "log");
  EXPECT_EQ(first.Received(1, WaitMs).size(), 1u);
  for (const char* servers : {"", "   ", ";127.0.0.2", " ; 127.0.0.2"}) DeliverReport(servers, "Daily", "log");
  // A marker through the same path: the listener serves connections in the
  // order they came, so once it has the marker it has seen all before it.
  DeliverReport("127.0.0.2", "Marker", "");
  std::vector<std::string> received = second.Received(1, WaitMs);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].substr(20), std::string("Протокол выгрузки Marker\r\n") + '\0');
  EXPECT_EQ(second.Accepted(), 1u);
  EXPECT_EQ(first.Accepted(), 1u);
}

TEST(Delivery, FailuresAreSilentAndTheNextComputerIsStillServed) {
  TTestListener stalled("127.0.0.4", 800, 0);
  TTestListener served("127.0.0.2", 800);
  ASSERT_TRUE(stalled.IsListening() && served.IsListening());
  // Larger than everything the connection can hold while nobody reads.
  const std::string log(16 * 1024 * 1024, 'x');

  // Each kind of failure on its own. Nothing listens on 127.0.0.3.
  EXPECT_FALSE(DeliverLog("nosuchhost.invalid", "text", Impatient));
  EXPECT_FALSE(DeliverLog("127.0.0.3", "text", Impatient));
  EXPECT_FALSE(DeliverLog("127.0.0.4", log, Impatient));
  EXPECT_EQ(stalled.Accepted(), 1u);

  // All of them ahead of a computer that is up.
  DeliverReport("nosuchhost.invalid;127.0.0.3;127.0.0.4;127.0.0.2", "Daily", log, Impatient);
  std::vector<std::string> received = served.Received(1, WaitMs);
  ASSERT_EQ(received.size(), 1u);
  const std::size_t body = std::string("Протокол выгрузки Daily\r\n").size() + log.size() + 1;
  EXPECT_EQ(received[0].size(), 20 + body);
  // Over 16 MiB, the length reaches the field's fourth byte.
  EXPECT_EQ(LengthField(received[0]), body);
  EXPECT_EQ(stalled.Accepted(), 2u);
}

}  // namespace
}  // namespace ns
