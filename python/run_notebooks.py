"""Executes notebooks top to bottom in a fresh kernel (Debian's python3), failing on the first cell that
raises, so that they never rot; nothing is written back. --figure PNG saves the first picture the
first notebook draws (the one in the README).

Usage: run_notebooks.py [--figure PNG] NOTEBOOK...
"""
import argparse
import base64
import sys

import nbclient
import nbformat


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--figure")
    parser.add_argument("notebooks", nargs="+")
    args = parser.parse_args()
    for path in args.notebooks:
        nb = nbformat.read(path, as_version=4)
        try:
            nbclient.NotebookClient(nb, timeout=600, kernel_name="python3").execute()
        except nbclient.exceptions.CellExecutionError as error:
            print(f"{path}: {error}", file=sys.stderr)
            return 1
        print(f"{path}: {sum(c.cell_type == 'code' for c in nb.cells)} cells ran")
        if args.figure:
            pictures = [o["data"]["image/png"] for c in nb.cells if c.cell_type == "code"
                        for o in c.get("outputs", []) if "image/png" in o.get("data", {})]
            if not pictures:
                print(f"{path}: drew no picture", file=sys.stderr)
                return 1
            with open(args.figure, "wb") as f:
                f.write(base64.b64decode(pictures[0]))
            args.figure = None
    return 0


if __name__ == "__main__":
    sys.exit(main())
