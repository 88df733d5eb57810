"""Checks and conversions of the arguments of tovalin's functions.

Only what cannot be passed to the library raises: TypeError for a value of the wrong kind,
ValueError for an array that is not one-dimensional or does not hold real numbers, or a whole
number outside the 32-bit range the library counts in. Values the library can judge (a
negative step count, a slope of 0, an undefined flow) are passed on and reported by it.
"""
import numbers

import numpy as np

_INT32 = (-(2**31), 2**31 - 1)
# The library's undefined value: single-precision -1.0E38 as a float.
UNDEFINED = -99999996802856924650656260769173209088.0
# numpy kinds that convert to float64 without losing meaning: bool, signed, unsigned, float.
_REAL_KINDS = "biuf"


def _kind(value):
    return type(value).__name__


def real(name, value):
    """A real number as a float; TypeError for anything else (a bool or a string too)."""
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a real number, not {_kind(value)}")
    return float(value)


def integer(name, value):
    """A whole number within 32 bits as an int; TypeError for anything else."""
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be a whole number, not {_kind(value)}")
    value = int(value)
    if not _INT32[0] <= value <= _INT32[1]:
        raise ValueError(f"{name} = {value} is outside the 32-bit range of the library")
    return value


def flag(name, value):
    """True or False (numpy's too); TypeError for anything else."""
    if not isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{name} must be True or False, not {_kind(value)}")
    return bool(value)


def flows(name, value):
    """A one-dimensional array-like of real numbers as a contiguous float64 array (the same
    array when it is one already)."""
    if value is None or isinstance(value, (str, bytes, dict, set, frozenset)):
        raise TypeError(f"{name} must be a one-dimensional array of numbers, not {_kind(value)}")
    try:
        array = np.asarray(value)
    except (TypeError, ValueError) as error:
        raise ValueError(f"{name} is not an array of numbers: {error}") from None
    if array.dtype.kind == "O":
        try:
            array = array.astype(np.float64)
        except (TypeError, ValueError) as error:
            raise ValueError(f"{name} does not hold numbers only: {error}") from None
    elif array.dtype.kind not in _REAL_KINDS:
        raise ValueError(f"{name} must hold real numbers, not {array.dtype}")
    if array.ndim != 1:
        raise ValueError(f"{name} must be one-dimensional, not of shape {array.shape}")
    return np.ascontiguousarray(array, dtype=np.float64)


def frozen_copy(name, value):
    """flows(), copied and made read-only: the arrays a state or a section keeps."""
    array = np.array(flows(name, value), dtype=np.float64, copy=True)
    array.setflags(write=False)
    return array


def readonly(array):
    """An array the library returned, made read-only in place."""
    array.setflags(write=False)
    return array
