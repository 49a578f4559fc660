"""The portable zip holds the player's three files, as built, in a folder of
their own, and nothing else.

    python3 portable_zip_test.py ZIP BIN_DIR
"""

import os
import sys
import zipfile

SHIPPED = ("QuibbletonPlayer.exe", "regular.ico", "swfcontrol.dll")


def main(zip_path, bin_dir):
    folder = os.path.basename(zip_path)[: -len("-portable.zip")] + "/"
    with zipfile.ZipFile(zip_path) as archive:
        names = sorted(archive.namelist())
        expected = sorted([folder] + [folder + name for name in SHIPPED])
        if names != expected:
            print(f"FAILED: the zip holds {names}, not {expected}")
            return 1
        for name in SHIPPED:
            with open(os.path.join(bin_dir, name), "rb") as built:
                if archive.read(folder + name) != built.read():
                    print(f"FAILED: {name} in the zip is not the built one")
                    return 1
    print(f"{len(SHIPPED) + 1} passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
