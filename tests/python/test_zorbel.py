"""The zorbel module end to end against zorbel-gensim: one run per feature."""

import fcntl
import math
import os
import signal
import warnings

import numpy as np
import pytest

import zorbel

# Within the simulator's ranges and six significant digits.
BENCH = {
    1: dict(wave=zorbel.Wave.square, frequency=12345.6, amplitude=3.5, offset=-1.25, phase=90, square_duty=0.25,
            ramp_symmetry=0.75, pulse_duty=0.125, pulse_width=2e-6, pulse_leading=5e-8, pulse_trailing=7.5e-8,
            output=True),
    2: dict(wave=zorbel.Wave.ramp, frequency=2500, amplitude=1.5, offset=0.5, phase=45, square_duty=0.5,
            ramp_symmetry=0.3, pulse_duty=0.2, pulse_width=1e-5, pulse_leading=4e-8, pulse_trailing=7e-8,
            output=False),
}


def settings_of(settings):
    return {n: {key: getattr(settings.ch[n], key) for key in BENCH[n]} for n in (1, 2)}


def apply(settings, values=BENCH):
    for n, channel in values.items():
        for key, value in channel.items():
            setattr(settings.ch[n], key, value)


def test_settings_reach_the_instrument_and_read_back(sim, gen):
    apply(gen)
    gen.ch[1].frequency = 1234.567  # sent as six significant digits
    gen.sync()
    assert gen.ch[1].frequency == 1234.57
    assert sim.ask("SIMulator:OUTPut? 1") == "ON,SQUare,1234.57,3.5,-1.25"
    expected = settings_of(gen)
    # Another session, as another script would open it, reads the same back.
    gen.close()
    with zorbel.Generator(lan=sim.address) as again:
        assert settings_of(again) == expected
        # Write Operation of a setup: every value of both channels is sent.
        setup = zorbel.Setup()
        apply(setup)
        setup.ch[2].frequency = 777
        again.write(setup)
        assert sim.ask("SIMulator:OUTPut? 2") == "OFF,RAMP,777,1.5,0.5"


@pytest.mark.parametrize(
    "channel, key, value, message",
    [
        (2, "offset", 4, r"Set CH2 Offset\(V\) Error: \(4\) is out of range\(-2.5,2.5\)"),
        (1, "amplitude", 25, r"Set CH1 Amplitude\(V\) Error: \(25\) is out of range\("),
        # The offset's minimum is refused too: the generator library refuses it.
        (2, "offset", -2.5, r"Set CH2 Offset\(V\) Error: \(-2.5\) is out of range\(-2.5,2.5\)"),
        (1, "frequency", math.nan, r"Set CH1 Frequency\(Hz\) Error: \(NAN\) is out of range"),
        (1, "wave", "triangle", r"'triangle' is no wave type"),
    ],
)
def test_a_refused_value_is_never_sent(sim, gen, channel, key, value, message):
    before = sim.ask(f"SIMulator:OUTPut? {channel}")
    held = getattr(gen.ch[channel], key)
    with pytest.raises(ValueError, match=message):
        setattr(gen.ch[channel], key, value)
    gen.sync()
    assert getattr(gen.ch[channel], key) == held
    assert sim.ask(f"SIMulator:OUTPut? {channel}") == before


def test_write_checks_every_value_before_sending_any(sim, gen):
    setup = zorbel.Setup()
    apply(setup)
    setup.ch[2].offset = 4  # inside the built-in limits, outside the instrument's
    before = [sim.ask(f"SIMulator:OUTPut? {n}") for n in (1, 2)]
    with pytest.raises(ValueError, match=r"^\[Channel_2\] Offset\(V\): Set CH2 Offset\(V\) Error: \(4\)"):
        gen.write(setup)
    assert [sim.ask(f"SIMulator:OUTPut? {n}") for n in (1, 2)] == before
    assert gen.ch[2].offset == 0  # the generator's own values stay


def test_download_lands_in_the_waveform_memory(sim, gen):
    volts = [0.25 * (i % 9) - 1.0 for i in range(70)]
    with pytest.warns(UserWarning, match="the point count 70 was rounded down to 64"):
        played = gen.ch[2].download(np.array(volts), frequency=1e6)
    # 64 points at 1 MHz: the nearest clock is 250 MHz / 4 (divider 1).
    assert played == pytest.approx(250e6 / 4 / 64)
    assert gen.ch[2].arbitrary_frequency == played
    assert gen.ch[2].wave == zorbel.Wave.arbitrary
    gain = 4  # the gain code for extremes within 2.5 V and beyond 0.625 V
    assert sim.ask("SIMulator:ARBitrary? 2").startswith(f"{gain},1,0,64,0,64,")
    codes = [int(v / gain * 52427.2) for v in volts[:64]]
    assert sim.ask("SIMulator:ARBitrary:DATA? 2,0,64") == ",".join(map(str, codes))
    assert sim.ask("SIMulator:OUTPut? 2").startswith("OFF,USER")

    # Clamped to half the amplitude maximum, as the program takes points.
    with pytest.warns(UserWarning, match="1 sample beyond the point limit clamped to 5 V"):
        gen.ch[1].download([0.0] * 15 + [6.0])
    assert sim.ask("SIMulator:ARBitrary:DATA? 1,15,1") == str(int(5 / 20 * 52427.2))
    with pytest.raises(ValueError, match="15 samples: a waveform needs at least 16"):
        gen.ch[1].download([0.0] * 15)


def test_ctrl_c_cancels_a_download_and_switches_the_output_off(sim, gen):
    gen.ch[1].output = True
    gen.sync()
    seen = []

    def interrupt_once_sending(sent, total):
        if sent > 0 and not seen:
            seen.append(sent)
            os.kill(os.getpid(), signal.SIGINT)  # Ctrl+C: KeyboardInterrupt from here at once

    with pytest.raises(KeyboardInterrupt):
        gen.ch[1].download(np.full(4_000_000, 0.5), progress=interrupt_once_sending)
    assert len(seen) == 1 and seen[0] < 4_000_000
    assert gen.ch[1].output is False
    assert sim.ask("SIMulator:OUTPut? 1").startswith("OFF,USER")
    gen.ch[1].output = True  # the session goes on
    gen.sync()
    assert sim.ask("SIMulator:OUTPut? 1").startswith("ON,USER")


def test_busy_instrument(sim, gen):
    with open(sim.lock_path(), "w") as lock:  # another program's session
        fcntl.flock(lock, fcntl.LOCK_EX)
        with pytest.raises(zorbel.InstrumentBusy, match="^the instrument is busy with another program$"):
            zorbel.Generator(lan=sim.address, wait=0.3)
        gen.ch[1].frequency = 4321
        with pytest.raises(zorbel.InstrumentBusy):
            gen.sync()
        fcntl.flock(lock, fcntl.LOCK_UN)
    gen.read()  # the next Read Operation takes the instrument again
    assert gen.ch[1].frequency == 1000


def test_vanished_instrument_raises_until_it_is_back(sim, gen):
    sim.kill()
    gen.ch[1].frequency = 1234
    with pytest.raises(zorbel.NoDevice, match=r"^writing the settings failed: "):
        gen.sync()
    with pytest.raises(zorbel.NoDevice):
        gen.read()
    assert sim.start()
    gen.read()
    assert gen.ch[1].frequency == 1000
    with pytest.raises(zorbel.NoDevice, match="^Read Operation failed: "):
        zorbel.Generator(lan="127.0.0.254", timeout=5)  # nobody answers there


def test_sweep_writes_each_step(sim, gen):
    steps = []
    gen.ch[1].sweep("frequency", 1000, 2000, steps=3, updown=True, repeat=2, dwell=0.02,
                    progress=lambda value, written, total: steps.append((written, total)))
    assert steps[-1] == (9, 9)
    assert gen.ch[1].frequency == 1000  # up and down ends on start
    assert sim.ask("SIMulator:OUTPut? 1").split(",")[2] == "1000"
    with pytest.raises(ValueError, match=r"^Set CH1 Amplitude\(V\) Error: \(50\) is out of range\("):
        gen.ch[1].sweep("amplitude", 1, 50)
    with pytest.raises(ValueError, match="only frequency and amplitude can be swept"):
        gen.ch[1].sweep("offset", 0, 1)


def test_setup_file_round_trip(tmp_path):
    setup = zorbel.Setup()
    apply(setup)
    setup.current_channel = 2
    zorbel.save_setup(tmp_path / "bench.set", setup)
    loaded = zorbel.load_setup(tmp_path / "bench.set")
    assert settings_of(loaded) == settings_of(setup)
    assert loaded.current_channel == 2

    (tmp_path / "other.set").write_text("[Something]\nKey=1\n")
    with pytest.warns(UserWarning, match=r"none of the setup file's sections \(\[Standard_1\]"):
        zorbel.load_setup(tmp_path / "other.set")


@pytest.mark.parametrize("name", ["wave.arb", "wave.qwf"])
def test_arbitrary_file_round_trip(tmp_path, name):
    samples = [0.125 * i - 2.0 for i in range(40)] + [12.0]
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        zorbel.save_arbitrary(tmp_path / name, samples, divider=3)
    assert [str(w.message) for w in caught] == [
        "the point count 41 was rounded down to 32, a multiple of 16",
    ]
    loaded = zorbel.load_arbitrary(tmp_path / name)
    assert isinstance(loaded, np.ndarray)
    assert loaded.tolist() == samples[:32]


@pytest.mark.parametrize(
    "load, name, text, message",
    [
        (zorbel.load_setup, "missing.set", None, r"missing.set: Cann't Load file: No such file or directory"),
        (zorbel.load_setup, "setup.txt", "", r"setup.txt: File is not \*.set"),
        (zorbel.load_arbitrary, "bad.arb", "version,16\r\ntype,2\r\nsamples,16\r\nsps,250000000\r\n#zoom,4\r\ndiv,999\r\n",
         r"bad.arb: Cann't Load file: .*999"),
        (zorbel.load_arbitrary, "short.csv", "1\n2\n3\n", r"the file holds 3 values; a waveform needs at least 16"),
    ],
)
def test_refused_files_raise_oserror(tmp_path, load, name, text, message):
    if text is not None:
        (tmp_path / name).write_text(text)
    with pytest.raises(OSError, match=message):
        load(tmp_path / name)
