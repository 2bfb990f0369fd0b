// zorbel-gensim by itself, through raw sockets: answers, USB framing,
// fault options, command-line checks and clean shutdown.
#include "program_run.h"
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
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
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
            kill(sim->process().pid(), signal);
            ASSERT_EQ(waitpid(sim->process().pid(), &status, 0), sim->process().pid());
        }
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_NE(stat(sim->usbPath().c_str(), &info), 0) << "socket file left behind";
        if (signal != SIGTERM) sim->process().Stop();  // already reaped: only marks it stopped
    }
}

TEST(GensimProcess, RefusesBadCommandLines) {
    const std::string longPath = "unix:/tmp/" + std::string(120, 'x') + ".sock";
    const struct {
        std::vector<std::string> args;
        std::string message;  // the first line on standard error
    } refused[] = {
        {{}, "nothing to serve: give --lan, --usb or both"},
        {{"--lan", "10.0.0.1"},
         "bad value for --lan: 10.0.0.1 (not a loopback address (127.x.y.z); the simulator serves nothing else)"},
        {{"--lan", "127.0.0"},
         "bad value for --lan: 127.0.0 (not an IPv4 address in dotted-quad form such as 127.0.0.2)"},
        {{"--usb", "/tmp/x.sock"},
         "bad value for --usb: /tmp/x.sock (must be unix:PATH, the path of the socket to serve)"},
        {{"--usb", "unix:"}, "bad value for --usb: unix: (the socket path after unix: is empty)"},
        {{"--usb", longPath},
         "bad value for --usb: " + longPath + " (the socket path has 130 bytes; the system takes at most 107)"},
        {{"--lan", "127.0.0.9", "--ready-fd", "1000"},
         "bad value for --ready-fd: 1000 (not an open file descriptor: Bad file descriptor)"},
        {{"--lan", "127.0.0.9", "--drop", "-1"}, "bad value for --drop: -1"},
        {{"--lan", "127.0.0.9", "--bogus"}, "unknown option --bogus"},
        {{"--lan"}, "--lan needs ADDRESS"},
    };
    for (const auto& row : refused) {
        SCOPED_TRACE(row.message);
        const auto run = zorbel::test::RunProgram("zorbel-gensim", row.args, {}, 5s);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), row.message);
    }
}

// A second simulator on a socket that a running one serves must neither take
// it over nor remove it on its way out; each removes its own socket on SIGHUP.
TEST(SimulatorProcesses, ASecondOneOnALiveSocketIsRefusedAndTheFirstKeepsServing) {
    for (const char* program : {"zorbel-gensim", "zorbel-scopesim"}) {
        SCOPED_TRACE(program);
        zorbel::test::TempDir dir;
        const std::string path = dir.file("device.sock");
        std::string error;
        auto first = zorbel::test::SimProcess::Start(program, {"--usb", "unix:" + path}, &error);
        ASSERT_NE(first, nullptr) << error;

        const auto second = zorbel::test::RunProgram(program, {"--usb", "unix:" + path}, {}, 5s);
        EXPECT_EQ(second.status, 1);
        EXPECT_EQ(second.err, std::string(program) + ": a device already answers at " + path + "\n");
        EXPECT_TRUE(UsbClient(path).connected()) << "the first one's socket is gone";

        kill(first->pid(), SIGHUP);
        int status = -1;
        ASSERT_EQ(waitpid(first->pid(), &status, 0), first->pid());
        first->Stop();  // already reaped: only marks it stopped
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        struct stat info {};
        EXPECT_NE(stat(path.c_str(), &info), 0) << "socket file left behind";
    }
}

TEST(SimulatorProcesses, HelpIsAnAnswerNotAnError) {
    for (const char* program : {"zorbel-gensim", "zorbel-scopesim", "zorbel-demo", "zorbel-cli"}) {
        SCOPED_TRACE(program);
        const auto run = zorbel::test::RunProgram(program, {"--help"}, {}, 5s);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.rfind(std::string("usage: ") + program, 0), 0u) << run.out;
        EXPECT_EQ(run.err, "");
    }
}

}  // namespace
