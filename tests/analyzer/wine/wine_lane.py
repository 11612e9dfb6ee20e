# wine_lane.py - for the Python tests of the 64-bit lane: a Windows program's command line
# through the lane script, and a host path as the Windows programs see it.
import os


def wine(lane, *argv):
    """`lane` is [lane script, lane, prefix]."""
    return [*lane, "run", *argv]


def windows_path(path):
    # Drive Z: is the host's root.
    return "Z:" + os.path.abspath(path).replace("/", "\\")
