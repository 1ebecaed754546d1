#!/usr/bin/env python3
"""Checks that the code names a Markdown note gives in backticks still exist.

    scripts/doc-names.py [NOTE.md ...]      (docs/architecture.md when none is given)

Every `...` span outside code blocks is looked at. A path (`core/slotfiles/SlotFiles`, `tests/support/
ViewerParts.h`) must name a file or folder under src/ or the repository; a name that looks like code
(a name, Class::member, member(args), a type) must stand as a whole word in src/,
tests/, bench/, tools/, cmake/, scripts/, .ci/, the Makefile or a CMakeLists.txt, each part of a Class::member on its own. Spans of
several words, file names of the user's data, paths under build/ and command lines are skipped. Prints what it cannot find
and exits 1 when there is any.
"""

import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
code_dirs = ["src", "tests", "bench", "tools", "cmake", "scripts", ".ci"]
suffixes = {".cpp", ".h", ".txt", ".cmake", ".py", ".sh"}


def corpus():
    words = set()
    for folder in code_dirs:
        base = root / folder
        if not base.exists():
            continue
        for path in base.rglob("*"):
            if path.is_file() and (path.suffix in suffixes or path.name == "CMakeLists.txt"):
                words.update(re.findall(r"[A-Za-z_][A-Za-z0-9_]*", path.read_text(errors="replace")))
    for path in [root / "CMakeLists.txt", root / "Makefile"]:
        words.update(re.findall(r"[A-Za-z_][A-Za-z0-9_]*", path.read_text()))
    return words


def spans(text):
    text = re.sub(r"```.*?```", "", text, flags=re.S)
    return re.findall(r"`([^`\n]+)`", text)


def path_exists(span):
    span = span.rstrip("/")
    for base in (root / "src", root):
        candidate = base / span
        if candidate.exists() or any(candidate.parent.glob(candidate.name + ".*")):
            return True
    return False


def looks_like_path(span):
    return "/" in span and re.fullmatch(r"[A-Za-z0-9_./-]+", span) is not None


def names_in(span):
    # The callable or qualified names of a span: Foo::bar(x, y) -> Foo, bar; x and y are arguments.
    head = re.sub(r"\(.*", "", span)
    head = re.sub(r"<.*?>", "", head)
    return [part for part in re.findall(r"[A-Za-z_][A-Za-z0-9_]*", head)]


def looks_like_code(span):
    if looks_like_path(span) or " " in re.sub(r"\(.*\)", "", span):
        return False
    if span.startswith((".", "<", "~", "$", "-", "make ")) or span.endswith((".json", ".lock", ".log", ".conf", ".cpp")):
        return False
    return re.fullmatch(r"[A-Za-z_][A-Za-z0-9_:.<>,&* ]*(\(.*\))?", span) is not None


def main():
    notes = [pathlib.Path(arg) for arg in sys.argv[1:]] or [root / "docs" / "architecture.md"]
    words = corpus()
    missing = []
    for note in notes:
        for span in spans(note.read_text()):
            if looks_like_path(span):
                if not span.startswith("build") and not path_exists(span):
                    missing.append((note, span, span))
                continue
            if not looks_like_code(span) or (root / span).exists():
                continue
            for name in names_in(span):
                if name.endswith("...") or name in ("const", "std"):
                    continue
                if name not in words:
                    missing.append((note, span, name))
    for note, span, name in missing:
        print(f"{note.name}: `{span}`: {name} not found")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
