# wine.py - for the Python tests of the Wine lanes: a Windows program's command line through
# the lane script, and a host path as the Windows programs see it.
import os


def wine(lane_script, lane, prefix, *argv):
    return [lane_script, lane, prefix, "run", *argv]


def windows_path(path):
    # Drive Z: is the host's root.
    return "Z:" + os.path.abspath(path).replace("/", "\\")
