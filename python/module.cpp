// The zorbel Python module: the program's model, command queue, session
// worker, files and instrument lock, in Python's conventions. Python's
// interpreter lock is released whenever a call may wait (for the instrument,
// or for another thread's job on the same generator) and taken back only to
// call Python: the progress callbacks and the look for Ctrl+C.
#include <arpa/inet.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cctype>

#include "bench.h"
#include "zorbel/numbers.h"

namespace py = pybind11;

namespace zorbel::python {
namespace {

// The ten settings by their names in Python, in the model's order.
struct Named {
    Parameter parameter;
    const char* name;
    const char* doc;
};
constexpr std::array<Named, kParameterCount> kNames = {{
    {Parameter::Amplitude, "amplitude", "Amplitude, volts peak to peak."},
    {Parameter::Frequency, "frequency", "Frequency, hertz."},
    {Parameter::Offset, "offset", "DC offset, volts."},
    {Parameter::Phase, "phase", "Phase, degrees."},
    {Parameter::SquareDuty, "square_duty", "Duty cycle of the square wave, a fraction (0.25 = 25 %)."},
    {Parameter::RampSymmetry, "ramp_symmetry", "Symmetry of the ramp, a fraction."},
    {Parameter::PulseDuty, "pulse_duty", "Duty cycle of the pulse, a fraction."},
    {Parameter::PulseWidth, "pulse_width", "Pulse width, seconds."},
    {Parameter::PulseLeading, "pulse_leading", "Leading edge of the pulse, seconds."},
    {Parameter::PulseTrailing, "pulse_trailing", "Trailing edge of the pulse, seconds."},
}};
static_assert(RowsFollow(kNames));

// The Python exceptions of a failed job, by kind; set up once by the module.
PyObject* gError = nullptr;
PyObject* gNoDevice = nullptr;
PyObject* gBusy = nullptr;
PyObject* gRefused = nullptr;

PyObject* ExceptionOf(JobFailure::Kind kind) {
    switch (kind) {
    case JobFailure::Kind::Busy:
        return gBusy;
    case JobFailure::Kind::NoDevice:
    case JobFailure::Kind::Lost:
        return gNoDevice;
    case JobFailure::Kind::Refused:
        return gRefused;
    case JobFailure::Kind::TimedOut:
        return PyExc_TimeoutError;
    }
    return gError;
}

// What Python holds: the settings of both channels, without an instrument
// (a Setup) or with one (a Generator). Channels hold the bench too, so a
// channel kept after its generator went away still answers.
struct Settings {
    std::shared_ptr<Bench> bench = std::make_shared<Bench>();
};
struct Setup : Settings {};
struct Generator : Settings {
    std::string link;  // "USB" or "LAN 192.168.1.100", for repr
};

struct Channel {
    std::shared_ptr<Bench> bench;
    std::uint16_t index;  // 0 or 1
};

struct Channels {
    std::shared_ptr<Bench> bench;
};

std::uint16_t ChannelIndex(long long number) {
    if (number != 1 && number != 2)
        throw py::index_error("the generator has channels 1 and 2, not " + FormatInt(number));
    return static_cast<std::uint16_t>(number - 1);
}

std::string PathOf(const py::object& path) {
    return py::cast<std::string>(py::module_::import("os").attr("fsdecode")(path));
}

void Warn(const Warnings& warnings) {
    const py::object warn = py::module_::import("warnings").attr("warn");
    for (const std::string& text : warnings) warn(text, py::handle(PyExc_UserWarning), 2);
}

// Between two looks at a running job: Ctrl+C (KeyboardInterrupt) and the
// callback's own exceptions cancel it.
Between LookForSignals(std::function<void()> progress = {}) {
    return [progress = std::move(progress)] {
        const py::gil_scoped_acquire acquire;
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
        if (progress) progress();
    };
}

std::vector<double> SamplesOf(const py::array_t<double, py::array::c_style | py::array::forcecast>& samples) {
    if (samples.ndim() != 1)
        throw py::value_error("samples must be one-dimensional, not of " + FormatInt(samples.ndim()) + " dimensions");
    return {samples.data(), samples.data() + samples.size()};
}

py::array_t<double> ArrayOf(const std::vector<double>& samples) {
    py::array_t<double> array(static_cast<py::ssize_t>(samples.size()));
    std::copy(samples.begin(), samples.end(), array.mutable_data());
    return array;
}

WaveType WaveOf(const py::object& wave) {
    if (py::isinstance<py::str>(wave)) {
        std::string name = py::cast<std::string>(wave);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const py::dict members = py::module_::import("zorbel").attr("Wave").attr("__members__");
        if (name == "arb") name = "arbitrary";
        if (!members.contains(name))
            throw py::value_error("'" + py::cast<std::string>(wave) +
                                  "' is no wave type (sine, square, ramp, pulse, noise, arbitrary, harmonic)");
        return py::cast<WaveType>(members[py::str(name)]);
    }
    if (!py::isinstance<WaveType>(wave)) throw py::type_error("a wave type is a zorbel.Wave or its name");
    return py::cast<WaveType>(wave);
}

py::dict LimitsOf(const Bench& bench, long long channel) {
    const LimitsBlock limits = bench.Limits(ChannelIndex(channel));
    py::dict result;
    for (const Named& n : kNames)
        result[n.name] = py::make_tuple(limits.Minimum(n.parameter), limits.Maximum(n.parameter));
    return result;
}

Parameter SweptParameter(const std::string& name) {
    if (name == "frequency") return Parameter::Frequency;
    if (name == "amplitude") return Parameter::Amplitude;
    throw py::value_error("'" + name + "': only frequency and amplitude can be swept");
}

std::uint32_t SweepCount(long long steps) {
    if (steps < 2 || steps > kMaximumSweepValues)
        throw py::value_error("steps needs a whole number from 2 to " + FormatInt(kMaximumSweepValues) + ", not " +
                              FormatInt(steps));
    return static_cast<std::uint32_t>(steps);
}

std::string ChannelText(const Channel& c) {
    const Bench& b = *c.bench;
    const char* const kWaves[] = {"?", "sine", "square", "ramp", "pulse", "noise", "arbitrary", "harmonic"};
    const std::uint16_t wave = b.WaveType(c.index);
    const std::string head =
        "<zorbel.Channel " + FormatInt(c.index + 1) + ": " + kWaves[IsValidWaveType(wave) ? wave : 0];
    const std::string tail = ", output " + std::string(b.Output(c.index) ? "on" : "off") + ">";
    if (wave == kWaveArbitrary) {
        const auto [points, frequency] = b.Settings().ReadRecord(c.index, [](const ChannelRecord& r) {
            return std::pair{r.arbitraryPointCount, r.arbitraryFrequency};
        });
        return head + ", " + FormatInt(points) + " points at " + FormatWindowsG(frequency) + " Hz" + tail;
    }
    return head + ", " + FormatWindowsG(b.Value(c.index, Parameter::Frequency)) + " Hz, " +
           FormatWindowsG(b.Value(c.index, Parameter::Amplitude)) + " V, offset " +
           FormatWindowsG(b.Value(c.index, Parameter::Offset)) + " V" + tail;
}

void BindChannel(py::module_& m) {
    py::class_<Channel> channel(m, "Channel",
                                R"doc(One output of the generator (or of a setup): ``gen.ch[1]``, ``gen.ch[2]``.

Reading a property gives the value the program holds: the one read from the
instrument, or the last one set. Assigning checks the value against the
instrument's limits as the program's wave parameter pages do (``ValueError``
with their message, e.g. ``Set CH1 Amplitude(V) Error: (25) is out of
range(0.002,20)``), stores it as it will be sent (six significant digits)
and queues its write; ``Generator.sync()`` waits until it went out. A value
equal to the one held is not written again.)doc");
    for (const Named& n : kNames) {
        const Parameter p = n.parameter;
        channel.def_property(
            n.name, [p](const Channel& c) { return c.bench->Value(c.index, p); },
            [p](const Channel& c, double value) {
                const py::gil_scoped_release release;
                c.bench->SetValue(c.index, p, value);
            },
            n.doc);
    }
    channel.def_property(
        "wave", [](const Channel& c) { return static_cast<WaveType>(c.bench->WaveType(c.index)); },
        [](const Channel& c, const py::object& wave) {
            const WaveType type = WaveOf(wave);
            const py::gil_scoped_release release;
            c.bench->SetWaveType(c.index, type);
        },
        "Wave type: a ``Wave`` (or its name, ``\"square\"``).");
    channel.def_property(
        "output", [](const Channel& c) { return c.bench->Output(c.index); },
        [](const Channel& c, bool on) {
            const py::gil_scoped_release release;
            c.bench->SetOutput(c.index, on);
        },
        "Whether the output is on.");
    channel.def_property_readonly(
        "arbitrary_frequency",
        [](const Channel& c) {
            return c.bench->Settings().ReadRecord(c.index, [](const ChannelRecord& r) { return r.arbitraryFrequency; });
        },
        "The frequency the arbitrary waveform plays, hertz: its sample clock over its points.");
    channel.def_property_readonly(
        "number", [](const Channel& c) { return c.index + 1; }, "1 or 2.");
    channel.def(
        "download",
        [](const Channel& c, const py::array_t<double, py::array::c_style | py::array::forcecast>& samples,
           std::optional<double> frequency, const py::object& progress) {
            std::vector<double> points = SamplesOf(samples);
            const std::shared_ptr<Bench> bench = c.bench;
            const auto report = [bench, progress] {
                const auto [sent, total] = bench->DownloadProgress();
                progress(sent, total);
            };
            // Made and dropped with the interpreter lock held: it holds `progress`.
            const Between look = LookForSignals(progress.is_none() ? std::function<void()>{} : report);
            Warnings warnings;
            double played = 0.0;
            {
                const py::gil_scoped_release release;
                played = bench->Download(c.index, std::move(points), frequency, warnings, look);
            }
            Warn(warnings);
            if (!progress.is_none()) report();
            return played;
        },
        py::arg("samples"), py::arg("frequency") = py::none(), py::arg("progress") = py::none(),
        R"doc(Download an arbitrary waveform and make the channel play it.

``samples``: volts, any sequence of numbers or a one-dimensional NumPy array.
They are taken as the program imports a waveform: at least 16, the count
rounded down to a multiple of 16 and each sample clamped to half the
amplitude maximum (each with a warning through ``warnings``); a sample that
is not a finite number is refused (``ValueError``).

``frequency``: hertz the whole waveform is to repeat at; the sample clock
divider whose clock plays the points nearest to it is chosen. Without it,
the channel's divider stays. The channel becomes arbitrary.

``progress(sent, total)`` is called about every 100 ms and at the end.
Ctrl+C (``KeyboardInterrupt``), or an exception raised by ``progress``,
cancels the download between two slices of points; once any point went
out, the channel's output is switched off, as the program does (the
waveform memory then holds a mixture). Returns the frequency the waveform
plays, hertz.)doc");
    channel.def(
        "sweep",
        [](const Channel& c, const std::string& parameter, double start, double stop, std::optional<long long> steps,
           std::optional<double> step, bool log, double dwell, long long repeat, bool updown,
           const py::object& progress) {
            SweepRequest request;
            request.parameter = SweptParameter(parameter);
            request.start = start;
            request.stop = stop;
            if (steps) request.count = SweepCount(*steps);
            request.step = step;
            request.logarithmic = log;
            request.dwellSeconds = dwell;
            // Out of range: refused by the plan's own check with its message.
            request.repeat = repeat >= 1 && repeat <= kMaximumSweepRepeats ? static_cast<std::uint32_t>(repeat) : 0;
            request.upDown = updown;
            const std::shared_ptr<Bench> bench = c.bench;
            std::function<void()> report;
            if (!progress.is_none()) {
                report = [bench, progress, written = std::uint64_t{0}]() mutable {
                    const SweepRun::Progress now = bench->SweepNow();
                    if (now.written == written) return;
                    written = now.written;
                    progress(now.value, now.written, now.total);
                };
            }
            const Between look = LookForSignals(std::move(report));
            const py::gil_scoped_release release;
            bench->Sweep(c.index, request, look);
        },
        py::arg("parameter"), py::arg("start"), py::arg("stop"), py::kw_only(), py::arg("steps") = py::none(),
        py::arg("step") = py::none(), py::arg("log") = false, py::arg("dwell") = 0.1, py::arg("repeat") = 1,
        py::arg("updown") = false, py::arg("progress") = py::none(),
        R"doc(Sweep ``"frequency"`` or ``"amplitude"`` from ``start`` to ``stop``, as ``zorbel-cli sweep`` does.

Each value is one queued write, the next one ``dwell`` seconds (0.01 s to a
day) after the instrument confirmed it. ``steps``: the number of values,
both ends included (11 when neither it nor ``step`` is given); ``step``: the
difference of two values, or with ``log=True`` their ratio. ``repeat``
passes; ``updown`` goes back down to ``start`` in each pass. Start and stop
are checked against the instrument's limits before anything is sent
(``ValueError``). ``progress(value, written, total)`` is called as steps are
confirmed (at most every 100 ms, with the latest). Returns when the sweep
has ended; Ctrl+C stops it, keeping the last value written.)doc");
    channel.def("__repr__", &ChannelText);
}

void BindSettings(py::module_& m) {
    py::class_<Channels>(m, "Channels", "The two channels: ``ch[1]`` and ``ch[2]``.")
        .def("__getitem__",
             [](const Channels& c, long long n) {
                 return Channel{c.bench, ChannelIndex(n)};
             })
        .def("__len__", [](const Channels&) { return kChannelCount; })
        .def("__iter__", [](const Channels& c) {
            return py::iter(py::make_tuple(Channel{c.bench, 0}, Channel{c.bench, 1}));
        });

    py::class_<Settings>(m, "Settings", "The settings of both channels: a Setup or a Generator.")
        .def_property_readonly(
            "ch", [](const Settings& s) { return Channels{s.bench}; }, "The channels, ``ch[1]`` and ``ch[2]``.")
        .def(
            "limits", [](const Settings& s, long long channel) { return LimitsOf(*s.bench, channel); },
            py::arg("channel"),
            "The accepted range of each setting of ``channel`` (1 or 2): ``{\"frequency\": (minimum, maximum), "
            "...}``. A generator's are the instrument's, read when it was opened.")
        .def_property(
            "current_channel", [](const Settings& s) { return s.bench->Settings().CurrentChannel() + 1; },
            [](const Settings& s, long long channel) {
                const std::uint16_t index = ChannelIndex(channel);
                const py::gil_scoped_release release;
                s.bench->SetCurrentChannel(index);
            },
            "The channel the program shows (1 or 2), kept in setup files.");

    py::class_<Setup, Settings>(m, "Setup", R"doc(Settings of both channels without an instrument.

``Setup()`` holds the program's defaults; ``load_setup(path)`` those of a
setup file. Values are checked against the setup's own limits. Send one to
the instrument with ``Generator.write(setup)``.)doc")
        .def(py::init<>());
}

void BindGenerator(py::module_& m) {
    py::class_<Generator, Settings>(m, "Generator",
                                    R"doc(A generator on USB or the network: the program's session with it.

``Generator(usb=True)`` or ``Generator(lan="192.168.1.100")`` connects and
runs a Read Operation (the instrument's limits, then the settings of both
channels); ``NoDevice`` when it does not answer, ``InstrumentBusy`` when
another program (Zorbel, zorbel-cli, another script) holds it longer than
``wait`` seconds. ``timeout`` (seconds) bounds each job
(``TimeoutError``). Use it as a context manager, or call ``close()``:

    with zorbel.Generator(lan="192.168.1.100") as gen:
        gen.ch[1].frequency = 2500
        gen.sync()

One worker thread talks to the instrument and holds its lock while there is
work for it; settings are queued writes. A failed exchange stops all traffic
until the next ``read()`` or ``write()``, as in the program; ``sync()`` and
the next job raise it.)doc")
        .def(py::init([](bool usb, std::optional<std::string> lan, double timeout, double wait) {
                 SessionOptions options;
                 if (lan) {
                     in_addr parsed{};
                     if (inet_pton(AF_INET, lan->c_str(), &parsed) != 1)
                         throw py::value_error("'" + *lan + "' is no IPv4 address");
                     options.lan = true;
                     options.lanAddress = ntohl(parsed.s_addr);
                 } else if (!usb) {
                     throw py::value_error("give usb=True or lan=ADDRESS");
                 }
                 if (!(timeout > 0.0 && timeout <= 86400.0))
                     throw py::value_error("timeout must be above 0 and at most a day (seconds)");
                 if (!(wait >= 0.0 && wait <= 86400.0)) throw py::value_error("wait must be 0 to a day (seconds)");
                 options.timeout = std::chrono::milliseconds(static_cast<long long>(timeout * 1000.0));
                 options.wait = std::chrono::milliseconds(static_cast<long long>(wait * 1000.0));
                 Generator gen;
                 gen.link = lan ? "LAN " + *lan : "USB";
                 const py::gil_scoped_release release;
                 gen.bench->Open(options, LookForSignals());
                 return gen;
             }),
             py::kw_only(), py::arg("usb") = true, py::arg("lan") = py::none(), py::arg("timeout") = 30.0,
             py::arg("wait") = 5.0)
        .def(
            "read",
            [](const Generator& g) {
                const py::gil_scoped_release release;
                g.bench->Read(LookForSignals());
            },
            "Read Operation: the instrument's limits, then the settings of both channels.")
        .def(
            "write",
            [](const Generator& g, const Settings* setup) {
                const py::gil_scoped_release release;
                g.bench->Write(setup ? setup->bench.get() : nullptr, LookForSignals());
            },
            py::arg("setup") = py::none(),
            R"doc(Write Operation: the settings of both channels (``setup``'s when given) onto the instrument.

The instrument's limits are read first and every value checked against them
before any is sent: a value outside them raises ``ValueError`` naming it
(``[Channel_2] Offset(V): Set CH2 Offset(V) Error: ...``) and changes
nothing.)doc")
        .def(
            "sync",
            [](const Generator& g) {
                const py::gil_scoped_release release;
                g.bench->Sync(LookForSignals());
            },
            "Wait until the queued writes have gone out; raises ``Refused`` or ``NoDevice`` when the "
            "instrument refused one or stopped answering.")
        .def(
            "close",
            [](const Generator& g) {
                const py::gil_scoped_release release;
                g.bench->Close(true, LookForSignals());
            },
            "Send what is queued (raising as ``sync()``), then end the session. No effect when closed.")
        .def_property_readonly(
            "closed", [](const Generator& g) { return !g.bench->IsOpen(); }, "True once closed.")
        .def("__enter__", [](const py::object& self) { return self; })
        .def("__exit__",
             [](const Generator& g, const py::object& type, const py::object&, const py::object&) {
                 // With an exception under way, a failure of the last writes
                 // must not hide it.
                 const bool raising = !type.is_none();
                 const py::gil_scoped_release release;
                 try {
                     g.bench->Close(true, raising ? Between{} : LookForSignals());
                 } catch (const InstrumentError&) {
                     if (!raising) throw;
                 }
                 return false;
             })
        .def("__repr__", [](const Generator& g) {
            return "<zorbel.Generator " + g.link + (g.bench->IsOpen() ? "" : ", closed") + ">";
        });
}

void BindFiles(py::module_& m) {
    m.def(
        "load_setup",
        [](const py::object& path) {
            Setup setup;
            Warnings warnings;
            const std::string name = PathOf(path);
            {
                const py::gil_scoped_release release;
                setup.bench->LoadSetup(name, warnings);
            }
            Warn(warnings);
            return setup;
        },
        py::arg("path"),
        "A setup file (.set) as the program's Load Setup reads it, as a ``Setup``. ``OSError`` with the program's "
        "message when it is missing or refused; a warning when it has none of the setup file's sections.");
    m.def(
        "save_setup",
        [](const py::object& path, const Settings& settings) {
            const std::string name = PathOf(path);
            const py::gil_scoped_release release;
            settings.bench->SaveSetup(name);
        },
        py::arg("path"), py::arg("settings"),
        "Save the settings of a ``Setup`` or ``Generator`` as a setup file (.set), as a whole or not at all.");
    m.def(
        "load_arbitrary",
        [](const py::object& path) {
            Warnings warnings;
            std::vector<double> samples;
            const std::string name = PathOf(path);
            {
                const py::gil_scoped_release release;
                samples = Bench::LoadArbitrary(name, warnings);
            }
            Warn(warnings);
            return ArrayOf(samples);
        },
        py::arg("path"),
        "The samples (volts, a NumPy array) of an arbitrary waveform file: .arb as the program's Load Data reads "
        "it, .qwf, a sound file (.wav .flac .aif .aiff) or a table (.csv .txt) as Import Data does, with the same "
        "warnings. ``OSError`` with the program's message when refused.");
    m.def(
        "save_arbitrary",
        [](const py::object& path, const py::array_t<double, py::array::c_style | py::array::forcecast>& samples,
           std::optional<double> frequency, std::optional<long long> divider) {
            std::vector<double> points = SamplesOf(samples);
            if (divider && (*divider < 0 || *divider > kMaxArbitraryDivider))
                throw py::value_error("the divider " + FormatInt(*divider) + " is outside 0 to " +
                                      FormatInt(kMaxArbitraryDivider));
            const auto div =
                divider ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*divider)) : std::nullopt;
            Warnings warnings;
            const std::string name = PathOf(path);
            {
                const py::gil_scoped_release release;
                Bench::SaveArbitrary(name, std::move(points), frequency, div, warnings);
            }
            Warn(warnings);
        },
        py::arg("path"), py::arg("samples"), py::kw_only(), py::arg("frequency") = py::none(),
        py::arg("divider") = py::none(),
        "Save samples (volts) as an .arb or .qwf file, taken as ``download`` takes them with the built-in limits "
        "(10 V either way). ``divider`` (0 to 250), or the one whose clock plays the points nearest to "
        "``frequency`` hertz, or the program's default.");
}

}  // namespace
}  // namespace zorbel::python

PYBIND11_MODULE(zorbel, m) {
    using namespace zorbel;
    using namespace zorbel::python;
    m.doc() = R"doc(The Zorbel generator from Python: the same model, command queue, session
worker, files and instrument lock as the program and zorbel-cli.

    import numpy as np, zorbel
    with zorbel.Generator(lan="192.168.1.100") as gen:
        gen.ch[1].wave = zorbel.Wave.sine
        gen.ch[1].frequency = 1000
        gen.ch[2].download(np.sin(np.linspace(0, 2 * np.pi, 1024, endpoint=False)), frequency=500)
        gen.sync()

Errors: ``NoDevice`` (absent, or stopped answering), ``InstrumentBusy``
(another program holds it), ``Refused`` (the instrument refused a value),
all ``zorbel.Error``; ``ValueError`` for values out of range, ``OSError`` for
files, ``TimeoutError`` for a job beyond its time-out.)doc";

    py::enum_<WaveType>(m, "Wave", "Wave types, as the generator numbers them.")
        .value("sine", kWaveSine)
        .value("square", kWaveSquare)
        .value("ramp", kWaveRamp)
        .value("pulse", kWavePulse)
        .value("noise", kWaveNoise)
        .value("arbitrary", kWaveArbitrary)
        .value("harmonic", kWaveHarmonic);

    gError = PyErr_NewExceptionWithDoc("zorbel.Error", "A job with the instrument failed.", PyExc_Exception, nullptr);
    gNoDevice =
        PyErr_NewExceptionWithDoc("zorbel.NoDevice", "The instrument is absent or stopped answering.", gError, nullptr);
    gBusy = PyErr_NewExceptionWithDoc("zorbel.InstrumentBusy",
                                      "Another program held the instrument longer than the generator's wait.", gError,
                                      nullptr);
    gRefused = PyErr_NewExceptionWithDoc(
        "zorbel.Refused", "The instrument refused a value or gave an unacceptable answer.", gError, nullptr);
    m.attr("Error") = py::handle(gError);
    m.attr("NoDevice") = py::handle(gNoDevice);
    m.attr("InstrumentBusy") = py::handle(gBusy);
    m.attr("Refused") = py::handle(gRefused);
    py::register_exception_translator([](std::exception_ptr failure) {
        try {
            if (failure) std::rethrow_exception(failure);
        } catch (const InstrumentError& e) {
            PyErr_SetString(ExceptionOf(e.Kind()), e.what());
        } catch (const FileError& e) {
            PyErr_SetString(PyExc_OSError, e.what());
        } catch (const std::logic_error& e) {  // values out of range, a closed generator
            PyErr_SetString(PyExc_ValueError, e.what());
        }
    });

    BindChannel(m);
    BindSettings(m);
    BindGenerator(m);
    BindFiles(m);
}
