"""The program the package is compared with, and its json as numbers."""

import json
import os
import pathlib
import struct
import subprocess

import pytest

SOURCE = pathlib.Path(__file__).resolve().parents[2]
PROGRAM = os.environ.get("DIFFBOOT_PROGRAM", str(SOURCE / "build" / "release" / "diffboot"))
EXAMPLES = SOURCE / "examples"

FIELDS = ("estimate", "se", "bias", "t_lower", "t_upper", "bca_lower", "bca_upper", "percentile_lower",
          "percentile_upper", "basic_lower", "basic_upper", "z0", "acceleration")


def run_program(args, cwd):
    """The program's standard output for args, run in cwd."""
    done = subprocess.run([PROGRAM, "--no-files", *args], cwd=cwd, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    return done.stdout


def program_json(args, cwd):
    return json.loads(run_program(["-f", "json", *args], cwd))


def bits(v):
    """A number's 64 bits; json's null (a value that is not finite) as None."""
    if v is None or v != v or v in (float("inf"), float("-inf")):
        return None
    return struct.pack("<d", float(v))


def assert_equals_json(result, j):
    """Every field of result equals the program's json for the same values, bit for bit."""
    inputs = j["inputs"]
    for key, field in (("n_x", "n_x"), ("n_y", "n_y"), ("missing_x", "missing_x"), ("missing_y", "missing_y"),
                       ("experiment", "experiment"), ("B", "replications"), ("seed", "seed")):
        assert getattr(result, field) == inputs[key], key
    assert result.pairs_dropped == inputs.get("pairs_dropped"), "pairs_dropped"
    for key in ("clusters_x", "clusters_y", "no_cluster_x", "no_cluster_y"):
        assert getattr(result, key) == inputs.get(key), key
    assert bits(result.alpha) == bits(inputs["alpha"]) and bits(result.level) == bits(inputs["level"])
    assert result.permutations == inputs.get("permutations", 0)
    assert [m.name for m in result.measures] == [m["measure"] for m in j["measures"]]
    for m, row in zip(result.measures, j["measures"]):
        for f in FIELDS + (("p_permutation", "p_t") if "p_t" in row else ()) + (("p_holm",) if "p_holm" in row else ()):
            assert bits(getattr(m, f)) == bits(row[f]), (m.name, f)


def write_sample(path, values):
    path.write_text("".join(repr(float(v)) + "\n" for v in values))


@pytest.fixture
def program():
    if not os.access(PROGRAM, os.X_OK):
        pytest.fail("no program at %s: build it (make build) or set DIFFBOOT_PROGRAM" % PROGRAM)
    return PROGRAM
