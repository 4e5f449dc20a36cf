import pytest

from invlap import _native as native_module


@pytest.fixture
def native():
    return native_module


@pytest.fixture(scope="session")
def panic_type():
    """The module's internal-failure type, reached through a raised instance."""
    try:
        native_module.besseli_rust(5, 1.0)
    except BaseException as exc:  # derives from BaseException on purpose
        return type(exc)
    raise AssertionError("an unsupported order below 25 must fail")
