"""The Zorbel generator from Python: the same model, command queue, session
worker, files and instrument lock as the program and zorbel-cli."""

import os
from types import TracebackType
from typing import Callable, ClassVar, Iterator, Literal, Optional, Sequence, Union

import numpy as np
import numpy.typing as npt

Samples = Union[Sequence[float], npt.ArrayLike]
PathLike = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]

class Error(Exception):
    """A job with the instrument failed."""

class NoDevice(Error):
    """The instrument is absent or stopped answering."""

class InstrumentBusy(Error):
    """Another program held the instrument longer than the generator's wait."""

class Refused(Error):
    """The instrument refused a value or gave an unacceptable answer."""

class Wave:
    """Wave types, as the generator numbers them (``int(Wave.square) == 2``)."""

    sine: ClassVar[Wave]
    square: ClassVar[Wave]
    ramp: ClassVar[Wave]
    pulse: ClassVar[Wave]
    noise: ClassVar[Wave]
    arbitrary: ClassVar[Wave]
    harmonic: ClassVar[Wave]
    __members__: ClassVar[dict[str, Wave]]
    def __init__(self, value: int) -> None: ...
    def __int__(self) -> int: ...
    def __index__(self) -> int: ...
    @property
    def name(self) -> str: ...
    @property
    def value(self) -> int: ...

class Channel:
    """One output: ``gen.ch[1]``, ``gen.ch[2]``. Assigning checks the value
    against the limits (``ValueError`` with the program's message) and queues
    its write."""

    wave: Union[Wave, Literal["sine", "square", "ramp", "pulse", "noise", "arbitrary", "arb", "harmonic"]]
    amplitude: float
    """Volts peak to peak."""
    frequency: float
    """Hertz."""
    offset: float
    """Volts."""
    phase: float
    """Degrees."""
    square_duty: float
    """A fraction (0.25 = 25 %)."""
    ramp_symmetry: float
    pulse_duty: float
    pulse_width: float
    """Seconds."""
    pulse_leading: float
    """Seconds."""
    pulse_trailing: float
    """Seconds."""
    output: bool
    @property
    def arbitrary_frequency(self) -> float:
        """The frequency the arbitrary waveform plays, hertz."""
    @property
    def number(self) -> int:
        """1 or 2."""
    def download(
        self,
        samples: Samples,
        frequency: Optional[float] = None,
        progress: Optional[Callable[[int, int], object]] = None,
    ) -> float:
        """Download samples (volts) and play them; returns the frequency played.
        ``progress(sent, total)``; Ctrl+C cancels (the output goes off)."""
    def sweep(
        self,
        parameter: Literal["frequency", "amplitude"],
        start: float,
        stop: float,
        *,
        steps: Optional[int] = None,
        step: Optional[float] = None,
        log: bool = False,
        dwell: float = 0.1,
        repeat: int = 1,
        updown: bool = False,
        progress: Optional[Callable[[float, int, int], object]] = None,
    ) -> None:
        """Sweep frequency or amplitude as ``zorbel-cli sweep`` does."""

class Channels:
    def __getitem__(self, number: Literal[1, 2]) -> Channel: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[Channel]: ...

class Settings:
    """The settings of both channels: a Setup or a Generator."""

    @property
    def ch(self) -> Channels: ...
    current_channel: Literal[1, 2]
    def limits(self, channel: Literal[1, 2]) -> dict[str, tuple[float, float]]:
        """``{"frequency": (minimum, maximum), ...}``."""

class Setup(Settings):
    """Settings of both channels without an instrument (defaults, or a setup file)."""

    def __init__(self) -> None: ...

class Generator(Settings):
    """A generator on USB or the network; connects and runs a Read Operation."""

    def __init__(
        self, *, usb: bool = True, lan: Optional[str] = None, timeout: float = 30.0, wait: float = 5.0
    ) -> None: ...
    def read(self) -> None:
        """Read Operation: limits, then the settings of both channels."""
    def write(self, setup: Optional[Settings] = None) -> None:
        """Write Operation, every value checked against the instrument's limits first."""
    def sync(self) -> None:
        """Wait until the queued writes have gone out."""
    def close(self) -> None:
        """Send what is queued, then end the session."""
    @property
    def closed(self) -> bool: ...
    def __enter__(self) -> "Generator": ...
    def __exit__(
        self,
        exc_type: Optional[type[BaseException]],
        exc: Optional[BaseException],
        tb: Optional[TracebackType],
    ) -> Literal[False]: ...

def load_setup(path: PathLike) -> Setup:
    """A setup file (.set) as Load Setup reads it."""

def save_setup(path: PathLike, settings: Settings) -> None:
    """Save the settings as a setup file (.set)."""

def load_arbitrary(path: PathLike) -> npt.NDArray[np.float64]:
    """The samples (volts) of an .arb, .qwf, sound or table file."""

def save_arbitrary(
    path: PathLike, samples: Samples, *, frequency: Optional[float] = None, divider: Optional[int] = None
) -> None:
    """Save samples (volts) as an .arb or .qwf file."""
