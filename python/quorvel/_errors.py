"""The package's errors and warnings."""
from __future__ import annotations


class QuorvelError(ValueError):
    """Every error of quorvel: a setting or a series the tests cannot take."""


class QuorvelSettingsError(QuorvelError):
    """A setting out of its range, or settings that do not go together."""


class QuorvelDataError(QuorvelError):
    """A series the tests cannot run on: empty, too short, not finite."""


class QuorvelTypeError(QuorvelError, TypeError):
    """A setting or a series of the wrong type."""


class QuorvelWarning(UserWarning):
    """A notice of a run; `code` names its kind ("consistency", "low_count", ...)."""

    def __init__(self, text: str, code: str = "") -> None:
        super().__init__(text)
        self.code = code
