#!/usr/bin/env python3
"""Counts the public members of a class and who calls each of them.

    scripts/public-surface.py [-v] HEADER CLASS [OWN_FILE...]
    scripts/public-surface.py --all          every class of src/: the members no production code uses
    scripts/public-surface.py --self-test    checks the reading of declarations (CTest runs it)

HEADER is the class's header under src/, CLASS its name, OWN_FILE the files that implement it (the
header's .cpp is always one). For every member declared in a public section (functions, fields,
signals, constants, the constructor and destructor) it greps the words of src/ (outside the class's
own files), tools/ and tests/, and sorts the member into: used by other production code, an override of
a base class's function (its callers are the base's), a seam named for the tests (...ForTesting), used
only by tests and tools, used only inside the class, or unused. A member counts as used where its name
stands after "->" or "." on a name of the class's type or of a class derived from it (a variable, a
parameter or a field declared as the class, a pointer or reference to it, or an alias of it; what
current() or the like returns), or after "ClassName::"; the constructor where the class is
constructed; inside the class's own files, wherever it is named beyond its declaration.
"""

import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
# The arguments of a class template where it is named (LatestRun<QStringList>), one level nested.
TEMPLATE_ARGS = r"(?:<[^<>;{}]*(?:<[^<>;{}]*>[^<>;{}]*)*>)?"


def strip_comments(text):
    """The text without comments; string and character literals are kept ("https://...")."""
    token = re.compile(r'"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'|/\*.*?\*/|//[^\n]*', re.S)
    return token.sub(lambda m: m.group(0) if m.group(0)[0] in "\"'" else "", text)


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
    raise ValueError(f"unbalanced braces in class {name}")


def public_members(body, name, overrides=None):
    """The names declared in the public sections and in Q_SIGNALS (signals are public); overrides, when
    given, gets those that override a base class's virtual function (the base's callers call them)."""
    overrides = set() if overrides is None else overrides
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
        # Q_OBJECT, Q_ENUM(...), Q_PROPERTY(...): macros without a semicolon, no members of their own.
        if depth == 0 and re.match(r"^Q_[A-Z_]+\b(\(.*\))?\s*$", stripped):
            continue
        # Every line joins the statement, bodies included (they are cut out below), so that a member
        # with a body over several lines, or a nested struct, ends its own statement and not the next.
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
        if function:
            # A field whose initializer calls a function (= QStringLiteral("...")) is named before "=".
            initialized = re.search(r"(\w+)\s*=[^=]", declaration[:function.start()])
            names.append(initialized.group(1) if initialized else function.group(1))
            if "override" in (function.group(4) or "") and not initialized:
                overrides.add(function.group(1))
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


class Tree:
    """The words of src/, tests/, tools/ and bench/, read once."""

    def __init__(self):
        self.src = words(p for p in (root / "src").rglob("*") if p.suffix in (".h", ".cpp"))
        self.tests = words(p for d in ("tests", "tools", "bench") for p in (root / d).rglob("*")
                           if p.suffix in (".h", ".cpp"))


def survey(tree, header, name, own_files=(), verbose=False):
    """The public members of class NAME declared in HEADER, sorted by who uses them."""
    own = {header, header.with_suffix(".cpp")} | set(own_files)
    body = strip_comments(header.read_text())
    overrides = set()
    members = public_members(class_body(body, name), name, overrides)
    src_text = {p: t for p, t in tree.src.items() if p not in own}
    own_text = {p: t for p, t in tree.src.items() if p in own}
    test_text = tree.tests
    # Classes derived from it, anywhere: an object of one holds the members too (TileView's hitButton()
    # on a WindowsStyleToggleToolTileView).
    derived = set()
    for text in list(src_text.values()) + list(test_text.values()):
        for found in re.finditer(r"\bclass\s+(\w+)\s*(?:final\s*)?:[^{;]*\bpublic\s+" + name + r"\b", text):
            derived.add(found.group(1))
    class_pattern = "|".join(sorted({name} | derived))

    # Functions anywhere that hand out the class or one derived from it, by reference, pointer or value
    # (AppContext::librarySlots(), a test's slotTile(), PdfPageView::pageGeometry()): a call of one stands
    # for an object of the class.
    accessors = set()
    for text in list(src_text.values()) + list(own_text.values()) + list(test_text.values()):
        for found in re.finditer(r"\b(?:" + class_pattern + r")(?:\s*(?:const\s*)?[&*]\s*|\s+)(\w+)\s*"
                                 r"\([^(){};]*\)\s*(?:const\s*)?[{;]", text):
            accessors.add(found.group(1))

    # Names given the class anywhere (PdfDocumentPtr for std::shared_ptr<PdfDocument>, in its header).
    aliases = set()
    for text in list(src_text.values()) + list(own_text.values()):
        for found in re.finditer(r"\busing\s+(\w+)\s*=\s*(?:std::\w+<\s*)?(?:const\s+)?" + name +
                                 r"\s*>?\s*[*&]?\s*;", text):
            aliases.add(found.group(1))

    def holders(text):
        """Expressions that stand for an object of the class in this file."""
        types = {name} | derived | aliases
        for alias in re.finditer(r"using\s+(\w+)\s*=\s*[^;]*\b" + name + r"\b", text):
            types.add(alias.group(1))
        type_pattern = "|".join(sorted(types))
        found = {r"current\(\)"} | {r"\b" + re.escape(a) + r"\([^()]*(?:\([^()]*\)[^()]*)*\)" for a in accessors}
        for declared in re.finditer(r"\b(?:" + type_pattern + r")\s*" + TEMPLATE_ARGS + r"\s*>?\s*(?:const\s*)?"
                                    r"[*&]*\s*(?:const\s*)?(\w+)\s*[=;,)({\[]", text):
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
            if name not in text and not any(a + "(" in text for a in accessors) and \
                    not any(d in text for d in derived):
                continue
            if member == name:
                # Made with new, by a factory (of a const one too), as a variable, or as a member held by
                # value.
                pattern = (r"(new\s+|make_unique<|make_shared<)(const\s+)?" + name + r"\b|\b" + name + r"\s*" +
                           TEMPLATE_ARGS + r"\s+\w+\s*[({;]")
            elif member.startswith("~"):
                continue
            else:
                pattern = (r"(\b(?:" + holders(text) + r")\s*(->|\.)|\b" + name + TEMPLATE_ARGS + r"::)\s*" +
                           re.escape(member) + r"\b")
            if re.search(pattern, text):
                files.append(str(path.relative_to(root)))
        return files

    def used_by_neighbours(member):
        """Reached in the class's own files from outside its members: a free helper or another class
        there (a view's delegate) that calls it through an object of the class or as Name::member. Such
        a member must stay public, as for code elsewhere. Definitions (Name::member at a line's start)
        are no use."""
        if member == name or member.startswith("~"):
            return False
        for path, text in own_text.items():
            pair = path.with_suffix(".h")
            declared = text
            if path.suffix == ".cpp" and pair.exists():
                declared = strip_comments(pair.read_text(encoding="utf-8", errors="replace")) + text
            pattern = (r"(\b(?:" + holders(declared) + r")\s*(->|\.)|\b" + name + TEMPLATE_ARGS + r"::)\s*" +
                       re.escape(member) + r"\b")
            for found in re.finditer(pattern, text):
                line_start = text.rfind("\n", 0, found.start()) + 1
                if not text[line_start:line_start + 1].isspace():
                    continue
                # The head of the construct the use stands in: the last line before it that starts at
                # the margin and is no brace. Inside a member of the class or of a class nested in it
                # (its Impl), the use is the class's own: it could be private.
                heads = [h for h in re.finditer(r"^[^\s{}#].*$", text[:line_start], re.M)]
                if heads and re.search(r"\b" + name + r"::(?:\w+::)*~?\w+\s*\(", heads[-1].group(0)):
                    continue
                return True
        return False

    def used_inside(member):
        """Named in the class's own files beyond its declaration and its definitions (Name::member)."""
        count = 0
        for text in own_text.values():
            for found in re.finditer(r"\b" + re.escape(member) + r"\b", text):
                if not text[:found.start()].rstrip().endswith(name + "::"):
                    count += 1
        return count > 1

    groups = {"production": [], "overrides": [], "test seams": [], "tests/tools only": [], "class only": [],
              "unused": []}
    for member in members:
        if member.startswith("~"):
            groups["production"].append(member)
            continue
        # Called through the base class (Qt's models, views and events), wherever that is.
        if member in overrides:
            groups["overrides"].append(member)
            continue
        # Named for the tests that use them: a seam, not a member production code forgot.
        if member.endswith("ForTesting") and used(test_text, member):
            groups["test seams"].append(member)
            continue
        elsewhere = used(src_text, member)
        if not elsewhere and used_by_neighbours(member):
            elsewhere = ["its own files, outside the class"]
        if elsewhere:
            groups["production"].append(member)
            if verbose:
                print(f"    {member}: {', '.join(elsewhere)}")
        elif used(test_text, member):
            groups["tests/tools only"].append(member)
        elif used(own_text, member) or used_inside(member):
            groups["class only"].append(member)
        else:
            groups["unused"].append(member)
    return members, groups


def report(name, members, groups, only_tests=False):
    print(f"{name}: {len(members)} public members")
    for group, names in groups.items():
        if only_tests and group == "production":
            continue
        print(f"  {group}: {len(names)}" + (": " + ", ".join(names) if names else ""))


def defines_members(text, name):
    """Whether the text defines a member of NAME. A definition starts its line; a call of a static
    member (return Name::f(...)) inside a body is indented, or follows "return"."""
    pattern = r"^(?!return\b)(?:[\w:<>,*&~]+[ \t]+)*[*&]*" + name + r"::~?\w+\s*\("
    return re.search(pattern, text, re.M) is not None


def own_definers(tree, name):
    """The files that define members of NAME besides its own .cpp (MainWindowFolder.cpp)."""
    return {p for p, t in tree.src.items() if p.suffix == ".cpp" and defines_members(t, name)}


def survey_all(tree):
    """Every class of src/ named after its header: the members no production code uses."""
    total = 0
    for header in sorted((root / "src").rglob("*.h")):
        name = header.stem
        text = strip_comments(header.read_text())
        if not re.search(r"\bclass\s+" + name + r"\b[^;{]*\{", text):
            continue
        try:
            members, groups = survey(tree, header, name, own_definers(tree, name))
        except ValueError as error:
            print(f"{header.relative_to(root)}: not read ({error})")
            continue
        left = groups["tests/tools only"] + groups["unused"]
        if left:
            total += len(groups["tests/tools only"])
            print(f"{header.relative_to(root)}: " +
                  "; ".join(f"{g}: {', '.join(n)}" for g, n in groups.items()
                            if g in ("tests/tools only", "unused") and n))
    print(f"public members used only by tests and tools: {total}")


SELF_TEST = """
class Sample : public QObject {
    Q_OBJECT
public:
    enum class Kind { one, two };
    Q_ENUM(Kind)
    struct Options {
        int a = 0;
        int b = 1;
    };
    int afterStruct() const;
    int withBody() const
    {
        return 1;
    }
    void afterBody();
    Q_PROPERTY(int x READ x)
    int x() const { return 0; }
    static QString home() { return QStringLiteral("https://example.org/"); }
    static inline const QString key = QStringLiteral("key");
    std::function<void()> callback = makeCallback();
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    void last();
private:
    int m_hidden = 0;
};
"""


def self_test():
    """The shapes that once made members vanish or misnamed them: a body over several lines, a nested
    struct, macros, "//" inside a string, an initializer that calls a function; and an override."""
    overrides = set()
    found = public_members(class_body(SELF_TEST, "Sample"), "Sample", overrides)
    expected = ["afterStruct", "withBody", "afterBody", "x", "home", "key", "callback", "rowCount", "last"]
    if found != expected:
        sys.exit(f"public-surface self-test: found {found}, expected {expected}")
    if overrides != {"rowCount"}:
        sys.exit(f"public-surface self-test: overrides {overrides}, expected rowCount")
    # A file that only calls a static member is no file of the class.
    definitions = {"void Sample::last()\n{\n}\n": True, "const QString &Sample::home() const\n": True,
                   "void Other::f()\n{\n    return Sample::home();\n}\n": False,
                   "void Other::f()\n{\n    Sample::home();\n}\n": False}
    for text, expected in definitions.items():
        if defines_members(text, "Sample") != expected:
            sys.exit(f"public-surface self-test: {text!r} read as defining Sample: {not expected}")
    print("public-surface self-test: ok")


def main():
    flags = [a for a in sys.argv[1:] if a.startswith("-")]
    args = [a for a in sys.argv[1:] if not a.startswith("-")]
    if "--self-test" in flags:
        return self_test()
    if "--all" in flags:
        return survey_all(Tree())
    if len(args) < 2:
        sys.exit(__doc__)
    header = root / args[0]
    members, groups = survey(Tree(), header, args[1], {root / p for p in args[2:]},
                             verbose="-v" in flags)
    report(args[1], members, groups)


main()
