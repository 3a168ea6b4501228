#!/usr/bin/python3
# Writes python-written.ini beside this script with Python's configparser, as an
# outside writer of the profile format for the TIniFile tests. Run it with Debian's
# /usr/bin/python3; the file is Windows-1252 with LF line ends, as configparser writes.
import configparser
import os

parser = configparser.ConfigParser(interpolation=None)
parser.optionxform = str  # keep the case of key names
parser["Subscriptions"] = {
    "Count": "2",
    "Feed0": "http://example.org/feed.xml",
    "Title0": "Caf\u00e9 Radio \u20ac",
    "Feed1": "https://example.net/a?b=c&d=e",
    "Title1": "50% off; today",
}
parser["Window"] = {
    "Left": "-12",
    "Maximized": "1",
    "Mask": "0x1F",
    "Empty": "",
}
path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "python-written.ini")
with open(path, "w", encoding="cp1252", newline="\n") as f:
    parser.write(f)
