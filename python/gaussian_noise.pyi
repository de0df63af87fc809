# Types of the gaussian_noise module, for type checkers and editors.
import os
from typing import Literal, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

__version__: str

Path = Union[str, os.PathLike[str]]

def table(
    mean: float,
    variance: float,
    runs: int,
    samples: int,
    *,
    seed: int,
    threads: int = 1,
    rows: Optional[Tuple[int, Optional[int]]] = None,
    part: Optional[Tuple[int, int]] = None,
    thrown_pairs: Optional[Path] = None,
    out: Optional[npt.NDArray[np.float32]] = None,
) -> npt.NDArray[np.float32]: ...
def write(
    path: Path,
    mean: float,
    variance: float,
    runs: int,
    samples: int,
    *,
    seed: int,
    format: Literal["csv", "npy", "f32"] = "csv",
    lossless: bool = False,
    threads: int = 1,
    rows: Optional[Tuple[int, Optional[int]]] = None,
    part: Optional[Tuple[int, int]] = None,
    thrown_pairs: Optional[Path] = None,
) -> None: ...
def thrown_pairs(seed: int, runs: int, samples: int, *, threads: int = 1) -> str: ...
