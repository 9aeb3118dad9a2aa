"""python3 -m harness --wine-prefix DIR (in tests/desktop): makes the Wine prefix that each
desktop copies for the Windows executable."""

import sys

from .wine import make_wine_prefix

if len(sys.argv) == 3 and sys.argv[1] == "--wine-prefix":
    make_wine_prefix(sys.argv[2])
else:
    sys.exit("usage: python3 -m harness --wine-prefix DIR (the desktop tests are the "
             "test_*_desktop.py beside this package)")
