#!/usr/bin/env python3
"""Counts the public members of a class and who calls each of them.

    scripts/public-surface.py [-v] HEADER CLASS [OWN_FILE...]

HEADER is the class's header under src/, CLASS its name, OWN_FILE the files that implement it (the
header's .cpp is always one). For every member declared in a public section (functions, fields,
signals, constants, the constructor and destructor) it greps the words of src/ (outside the class's
own files), tools/ and tests/, and sorts the member into: used by other production code, used only by
tests and tools, used only inside the class, or unused. A member counts as used where its name stands
after "->" or "." on a name of the class's type (a variable, a parameter or a field declared as the
class, a pointer or reference to it, or an alias of it; what current() or the like returns), or after
"ClassName::"; the constructor where the class is constructed.
"""

import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    return re.sub(r"//[^\n]*", "", text)


def class_body(text, name):
    match = re.search(r"\bclass\s+" + name + r"\b[^;{]*\{", text)
    if not match:
        sys.exit(f"no class {name}")
    depth, start = 1, match.end()
    for i in range(start, len(text)):
        if text[i] == "{":
            depth += 1
        elif text[i] == "}":
            depth -= 1
            if depth == 0:
                return text[start:i]
    sys.exit("unbalanced braces")


def public_members(body, name):
    """The names declared in the public sections and in Q_SIGNALS (signals are public)."""
    section = "private"
    members = []
    depth = 0
    statement = ""
    for line in body.splitlines():
        stripped = line.strip()
        label = re.match(r"^(public|protected|private)(\s+Q_SLOTS|\s+slots)?\s*:", stripped)
        if depth == 0 and label:
            section = label.group(1)
            continue
        if depth == 0 and re.match(r"^(Q_SIGNALS|signals)\s*:", stripped):
            section = "public"
            continue
        if depth == 0 and stripped.startswith("Q_OBJECT"):
            continue
        if depth == 0:
            statement += " " + stripped
        depth += line.count("{") - line.count("}")
        if depth == 0 and (statement.rstrip().endswith(";") or statement.rstrip().endswith("}")):
            if section == "public":
                members.append(statement.strip())
            statement = ""
    names = []
    for declaration in members:
        declaration = re.sub(r"\{.*\}", "", declaration)
        if declaration.startswith(("using ", "friend ", "enum ", "struct ", "class ")):
            continue
        if re.search(r"\b" + name + r"\s*\(", declaration) and "~" not in declaration:
            names.append(name)
            continue
        if "~" + name in declaration:
            names.append("~" + name)
            continue
        if "operator" in declaration:
            continue
        function = re.search(r"(\w+)\s*\([^()]*(\([^()]*\)[^()]*)*\)\s*(const)?\s*(override)?\s*"
                             r"(=\s*(default|delete|0))?\s*;?\s*$", declaration)
        if function and not re.search(r"=\s*[^=]*\(", declaration.split(function.group(0))[0] + "x"):
            names.append(function.group(1))
            continue
        field = re.search(r"(\w+)\s*(=[^;]*)?;\s*$", declaration)
        if field:
            names.append(field.group(1))
    return names


def words(paths):
    out = {}
    for path in paths:
        out[path] = strip_comments(path.read_text(encoding="utf-8", errors="replace"))
    return out


def main():
    flags = [a for a in sys.argv[1:] if a.startswith("-")]
    args = [a for a in sys.argv[1:] if not a.startswith("-")]
    if len(args) < 2:
        sys.exit(__doc__)
    header = root / args[0]
    name = args[1]
    own = {header, header.with_suffix(".cpp")} | {root / p for p in args[2:]}
    body = strip_comments(header.read_text())
    members = public_members(class_body(body, name), name)
    sources = [p for p in (root / "src").rglob("*") if p.suffix in (".h", ".cpp") and p not in own]
    tests = [p for d in ("tests", "tools", "bench") for p in (root / d).rglob("*")
             if p.suffix in (".h", ".cpp")]
    src_text = words(sources)
    own_text = words(sorted(own))
    test_text = words(tests)

    def holders(text):
        """Expressions that stand for an object of the class in this file."""
        types = {name}
        for alias in re.finditer(r"using\s+(\w+)\s*=\s*[^;]*\b" + name + r"\b", text):
            types.add(alias.group(1))
        type_pattern = "|".join(sorted(types))
        found = {r"current\(\)"}  # what the registry of viewers answers
        for declared in re.finditer(r"\b(?:" + type_pattern + r")\s*>?\s*(?:const\s*)?[*&]*\s*(?:const\s*)?"
                                    r"(\w+)\s*[=;,)({\[]", text):
            found.add(re.escape(declared.group(1)))
        for made in re.finditer(r"\bauto\s*[*&]?\s*(\w+)\s*=[^;]*\b(?:" + type_pattern + r"|viewers\(\)|show\()",
                                text):
            found.add(re.escape(made.group(1)))
        return "|".join(sorted(found))

    def used(texts, member):
        files = []
        for path, text in texts.items():
            pair = path.with_suffix(".h")
            if path.suffix == ".cpp" and pair.exists():
                text = strip_comments(pair.read_text(encoding="utf-8", errors="replace")) + text
            # A file that defines a class's members elsewhere (MainWindowFolder.cpp) sees the fields its
            # own class's header declares.
            if path.suffix == ".cpp":
                for included in re.findall(r'#include\s+"([\w/]+\.h)"', text):
                    header_path = root / "src" / included
                    if header_path.exists() and header_path != pair and header_path.parent == path.parent:
                        text = strip_comments(header_path.read_text(encoding="utf-8", errors="replace")) + text
            if name not in text and not any(
                    re.search(r"using\s+\w+\s*=[^;]*" + name, t) for t in [text]):
                continue
            if member == name:
                # Made with new, by a factory, as a variable, or as a member held by value.
                pattern = (r"(new\s+|make_unique<|make_shared<)" + name + r"\b|\b" + name +
                           r"\s+\w+\s*[({;]")
            elif member.startswith("~"):
                continue
            else:
                pattern = (r"(\b(?:" + holders(text) + r")\s*(->|\.)|\b" + name + r"::)\s*" +
                           re.escape(member) + r"\b")
            if re.search(pattern, text):
                files.append(str(path.relative_to(root)))
        return files

    groups = {"production": [], "tests/tools only": [], "class only": [], "unused": []}
    for member in members:
        if member.startswith("~"):
            groups["production"].append(member)
            continue
        elsewhere = used(src_text, member)
        if elsewhere:
            groups["production"].append(member)
            if "-v" in flags:
                print(f"    {member}: {', '.join(elsewhere)}")
        elif used(test_text, member):
            groups["tests/tools only"].append(member)
        elif used(own_text, member):
            groups["class only"].append(member)
        else:
            groups["unused"].append(member)
    print(f"{name}: {len(members)} public members")
    for group, names in groups.items():
        print(f"  {group}: {len(names)}" + (": " + ", ".join(names) if names else ""))


main()
