// zorbel-gensim by itself, through raw sockets: answers, USB framing,
// fault options, command-line checks and clean shutdown.
#include "scripted_usb_peer.h"
#include "sim_clients.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <string>

namespace {

using namespace std::chrono_literals;
using zorbel::test::Gensim;
using zorbel::test::GensimConfig;
using zorbel::test::UdpClient;
using zorbel::test::UsbClient;
using zorbel::test::UsbCommandPacket;
using zorbel::test::UsbReadRequest;
using zorbel::test::UsbReplyPacket;

std::unique_ptr<Gensim> StartOrFail(const GensimConfig& config = {}) {
    std::string error;
    auto sim = Gensim::Start(config, &error);
    EXPECT_NE(sim, nullptr) << error;
    return sim;
}

// One library-style USB exchange: command packet (tag 0), read request (tag 1).
std::optional<std::string> UsbAsk(const std::string& socketPath, const std::string& command) {
    UsbClient usb(socketPath);
    usb.Send(UsbCommandPacket(0, command));
    usb.Send(UsbReadRequest(1));
    return usb.Receive(500ms);
}

TEST(Gensim, AnswersSetsWithTheValueAsNowSetAndQueriesWithTheCurrentValue) {
    auto sim = StartOrFail({true, false, {}});
    ASSERT_NE(sim, nullptr);
    UdpClient lan(sim->lanAddress());
    struct Exchange {
        const char* command;
        const char* answer;
    };
    const Exchange exchanges[] = {
        {"SOURce1:FREQuency 1.23457E+006", "1.23457E+006"},
        {"SOURce1:FREQuency?", "1.23457E+006"},
        {"SOURce2:FREQuency?", "1000"},  // the other channel is untouched
        {"SOURce2:VOLTage:OFFSet -0.5", "-0.5"},
        {"SOURce2:FUNCtion:SQUare:DCYCle 25", "25"},
        {"SOURce2:FUNCtion:SQUare:DCYCle bogus", "25"},  // not a number: the value stays
        {"SOURce1:FUNCtion:PULSe:WIDTh 1E-005", "1E-005"},
        {"SOURce2:FUNCtion USER", "USER"},
        {"SOURce2:FUNCtion sinusoid", "USER"},  // unknown word: the wave stays
        {"SOURce2:FUNCtion?", "USER"},
        {"OUTPut2 ON", "ON"},
        {"OUTPut1?", "OFF"},
        {"SIMulator:OUTPut? 2", "ON,USER,1000,1,-0.5"},
        {"SIMulator:OUTPut? 1", "OFF,SINusoid,1.23457E+006,1,0"},
    };
    for (const auto& e : exchanges) EXPECT_EQ(lan.Ask(e.command), e.answer) << e.command;
}

TEST(Gensim, CommandsWithoutAnswerAndUnknownCommandsStaySilent) {
    auto sim = StartOrFail({true, false, {}});
    ASSERT_NE(sim, nullptr);
    UdpClient lan(sim->lanAddress());
    for (const char* command : {"DISPlay:REFResh", "SOURce3:FREQuency?", "OUTPut1 MAYBE", "SIMulator:OUTPut? 3",
                                "SOURce12:FREQuency?", "NOTHing"})
        EXPECT_EQ(lan.Ask(command, 100ms), std::nullopt) << command;
    EXPECT_EQ(lan.Ask("OUTPut1?"), "OFF") << "still serving";
}

TEST(Gensim, UsbRepliesWithTheRequestsTagAndLength) {
    auto sim = StartOrFail({false, true, {}});
    ASSERT_NE(sim, nullptr);
    UsbClient usb(sim->usbPath());
    ASSERT_TRUE(usb.connected());
    usb.Send(UsbCommandPacket(0, "SOURce1:PHASe 90"));
    usb.Send(UsbReadRequest(1));
    EXPECT_EQ(usb.Receive(), UsbReplyPacket(1, "90"));
    // Tags other than 0/1 are echoed too.
    usb.Send(UsbCommandPacket(200, "OUTPut1?"));
    usb.Send(UsbReadRequest(201));
    EXPECT_EQ(usb.Receive(), UsbReplyPacket(201, "OFF"));
    // A read request with nothing to answer gets no reply (the host times out).
    usb.Send(UsbReadRequest(2));
    EXPECT_EQ(usb.Receive(200ms), std::nullopt);
}

TEST(Gensim, UsbAnswersOutliveTheConnectionUntilTheNextCommand) {
    auto sim = StartOrFail({false, true, {}});
    ASSERT_NE(sim, nullptr);
    {
        UsbClient first(sim->usbPath());
        first.Send(UsbCommandPacket(0, "SOURce1:VOLTage?"));
    }
    {
        UsbClient second(sim->usbPath());  // a ReadOnly exchange picks the answer up
        second.Send(UsbReadRequest(0));
        EXPECT_EQ(second.Receive(), UsbReplyPacket(0, "1"));
    }
    {
        UsbClient third(sim->usbPath());
        third.Send(UsbCommandPacket(0, "SOURce1:VOLTage?"));
        third.Send(UsbCommandPacket(1, "DISPlay:REFResh"));  // a new command drops the unread answer
        third.Send(UsbReadRequest(2));
        EXPECT_EQ(third.Receive(200ms), std::nullopt);
    }
}

TEST(Gensim, MalformedUsbPacketsAreNotExecuted) {
    auto sim = StartOrFail({false, true, {}});
    ASSERT_NE(sim, nullptr);
    const std::string command = "SOURce1:VOLTage 3";
    std::string badComplement = UsbCommandPacket(0, command);
    badComplement[2] = 0x00;
    std::string badLength = UsbCommandPacket(0, command);
    badLength[4] = 3;
    for (const auto& packet : {badComplement, badLength, std::string("\x01\x00", 2)}) {
        UsbClient usb(sim->usbPath());
        usb.Send(packet);
    }
    EXPECT_EQ(UsbAsk(sim->usbPath(), "SOURce1:VOLTage?"), UsbReplyPacket(1, "1"));
}

TEST(Gensim, LanAndUsbReachTheSameInstrument) {
    auto sim = StartOrFail();
    ASSERT_NE(sim, nullptr);
    UdpClient lan(sim->lanAddress());
    EXPECT_EQ(lan.Ask("SOURce2:FREQuency 440"), "440");
    EXPECT_EQ(UsbAsk(sim->usbPath(), "SOURce2:FREQuency?"), UsbReplyPacket(1, "440"));
}

TEST(GensimFaults, DelayedAnswers) {
    auto sim = StartOrFail({true, true, {"--delay", "300"}});
    ASSERT_NE(sim, nullptr);
    UdpClient lan(sim->lanAddress());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lan.Ask("OUTPut1?"), "OFF");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 290ms);
    EXPECT_EQ(UsbAsk(sim->usbPath(), "OUTPut1?"), UsbReplyPacket(1, "OFF"));
}

TEST(GensimFaults, EveryNthAnswerIsDroppedOnBothLinks) {
    auto sim = StartOrFail({true, true, {"--drop", "2"}});
    ASSERT_NE(sim, nullptr);
    UdpClient lan(sim->lanAddress());
    EXPECT_EQ(lan.Ask("OUTPut1?"), "OFF");
    EXPECT_EQ(lan.Ask("OUTPut1?", 150ms), std::nullopt);
    EXPECT_EQ(lan.Ask("OUTPut1?"), "OFF");
    EXPECT_EQ(UsbAsk(sim->usbPath(), "OUTPut1?"), std::nullopt);  // the fourth answer
    EXPECT_EQ(UsbAsk(sim->usbPath(), "OUTPut1?"), UsbReplyPacket(1, "OFF"));
}

TEST(GensimFaults, WrongAnswerText) {
    auto sim = StartOrFail({true, false, {"--answer", "25\n"}});
    ASSERT_NE(sim, nullptr);
    UdpClient lan(sim->lanAddress());
    EXPECT_EQ(lan.Ask("SOURce1:FREQuency 25"), "25\n");
    EXPECT_EQ(lan.Ask("DISPlay:REFResh", 100ms), std::nullopt) << "commands without an answer stay silent";
}

TEST(GensimProcess, StopsCleanlyOnTermAndInterruptAndRemovesItsSocket) {
    for (int signal : {SIGTERM, SIGINT}) {
        auto sim = StartOrFail();
        ASSERT_NE(sim, nullptr);
        struct stat info {};
        ASSERT_EQ(stat(sim->usbPath().c_str(), &info), 0);
        int status = -1;
        if (signal == SIGTERM) {
            const auto stopped = sim->process().Stop();
            ASSERT_TRUE(stopped.has_value());
            status = *stopped;
        } else {
            kill(sim->process().pid(), SIGINT);
            ASSERT_EQ(waitpid(sim->process().pid(), &status, 0), sim->process().pid());
        }
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_NE(stat(sim->usbPath().c_str(), &info), 0) << "socket file left behind";
        if (signal == SIGINT) sim->process().Stop();  // already reaped: only marks it stopped
    }
}

TEST(GensimProcess, RefusesBadCommandLines) {
    const std::vector<std::vector<std::string>> refused = {
        {},                                   // nothing to serve
        {"--lan", "10.0.0.1"},                // not a loopback address
        {"--lan", "127.0.0"},                 // not an address
        {"--usb", "/tmp/x.sock"},             // "unix:" missing
        {"--lan", "127.0.0.9", "--drop", "-1"},
        {"--lan", "127.0.0.9", "--bogus"},
        {"--lan"},                            // value missing
    };
    for (const auto& args : refused) {
        std::string error;
        EXPECT_EQ(zorbel::test::SimProcess::Start("zorbel-gensim", args, &error, 5s), nullptr);
        EXPECT_NE(error.find("exited before it was ready (status 2)"), std::string::npos) << error;
    }
}

}  // namespace
