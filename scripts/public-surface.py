#!/usr/bin/env python3
"""Counts the public members of a class and who calls each of them.

    scripts/public-surface.py [-v] HEADER CLASS [OWN_FILE...]
    scripts/public-surface.py --all          every class and struct of src/: the members no production
                                             code uses
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
# The parenthesised arguments of a call, with calls in them nested two deep.
ARGUMENTS = r"\((?:[^()]|\((?:[^()]|\([^()]*\))*\))*\)"
# An element taken from a list of the class's objects (presets[i].formula, rows.first().title).
ELEMENT = r"(?:\s*\[[^\[\]]*\]|\s*(?:\.|->)\s*(?:at|value|first|last|constFirst|constLast|front|back)\([^()]*\))?"


def strip_comments(text):
    """The text without comments; string and character literals are kept ("https://...")."""
    token = re.compile(r'"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'|/\*.*?\*/|//[^\n]*', re.S)
    return token.sub(lambda m: m.group(0) if m.group(0)[0] in "\"'" else "", text)


# A class or struct with a body, at any depth (nested in another one too), a template's included; not an
# "enum class", a forward declaration or a "friend class".
DECLARATION = re.compile(r"^[ \t]*(?:template\s*<[^;{]*>\s*)?(class|struct)\s+(\w+)\b(?:\s+final)?\s*"
                         r"(?::[^;{]*)?\{", re.M)


def body_from(text, start, name):
    """The text between the brace before start and the one that closes it."""
    depth = 1
    for i in range(start, len(text)):
        if text[i] == "{":
            depth += 1
        elif text[i] == "}":
            depth -= 1
            if depth == 0:
                return text[start:i]
    raise ValueError(f"unbalanced braces in class {name}")


def class_body(text, name):
    match = re.search(r"\b(?:class|struct)\s+" + name + r"\b[^;{]*\{", text)
    if not match:
        sys.exit(f"no class {name}")
    return body_from(text, match.end(), name)


def declarations(text):
    """Every class and struct the text declares with a body, as (kind, name, qualified name, body), in
    the order they start; a nested one is qualified by the classes around it (Outer::Inner)."""
    found = []
    for match in DECLARATION.finditer(text):
        name = match.group(2)
        body = body_from(text, match.end(), name)
        outer = [f for f in found if f[4] < match.start() < f[5]]
        qualified = "::".join([o[2] for o in outer[-1:]] + [name])
        found.append((match.group(1), name, qualified, body, match.end(), match.end() + len(body)))
    return [f[:4] for f in found]


def public_members(body, name, overrides=None, kind="class"):
    """The names declared in the public sections and in Q_SIGNALS (signals are public); overrides, when
    given, gets those that override a base class's virtual function (the base's callers call them). A
    struct's members are public until a label says otherwise."""
    overrides = set() if overrides is None else overrides
    section = "public" if kind == "struct" else "private"
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
        self.seen = {}
        self.headers = {}

    def header_words(self, path):
        if path not in self.headers:
            self.headers[path] = strip_comments(path.read_text(encoding="utf-8", errors="replace"))
        return self.headers[path]

    def seen_from(self, path, text):
        """The text of a file with the declarations it sees: a .cpp file's own header, and the headers of
        its folder that it includes (a file that defines a class's members elsewhere, such as
        MainWindowFolder.cpp, sees the fields its own class's header declares)."""
        if path in self.seen:
            return self.seen[path]
        if path.suffix == ".cpp":
            pair = path.with_suffix(".h")
            if pair.exists():
                text = self.header_words(pair) + text
            for included in re.findall(r'#include\s+"([\w/]+\.h)"', text):
                header_path = root / "src" / included
                if header_path.exists() and header_path != pair and header_path.parent == path.parent:
                    text = self.header_words(header_path) + text
        self.seen[path] = text
        return text


def survey(tree, header, name, own_files=(), verbose=False, declared=None):
    """The public members of class NAME declared in HEADER, sorted by who uses them. declared, when
    given, is the declaration's kind ("class" or "struct") and body; else the first class or struct
    NAME in HEADER."""
    own = {header, header.with_suffix(".cpp")} | set(own_files)
    if declared is None:
        text = strip_comments(header.read_text())
        match = re.search(r"\b(class|struct)\s+" + name + r"\b[^;{]*\{", text)
        declared = (match.group(1) if match else "class", class_body(text, name))
    overrides = set()
    members = public_members(declared[1], name, overrides, declared[0])
    src_text = {p: t for p, t in tree.src.items() if p not in own}
    own_text = {p: t for p, t in tree.src.items() if p in own}
    test_text = tree.tests
    # Classes derived from it, anywhere: an object of one holds the members too (TileView's hitButton()
    # on a WindowsStyleToggleToolTileView).
    derived = set()
    for text in list(src_text.values()) + list(test_text.values()):
        for found in re.finditer(r"\b(?:class\s+(\w+)\s*(?:final\s*)?:[^{;]*\bpublic\s+|struct\s+(\w+)\s*"
                                 r"(?:final\s*)?:\s*(?:[^{;]*,\s*)?(?:public\s+)?)(?:\w+::)*" + name + r"\b", text):
            derived.add(found.group(1) or found.group(2))
    class_pattern = "|".join(sorted({name} | derived))

    # Functions anywhere that hand out the class or one derived from it, by reference, pointer or value,
    # or a list or an optional of them (AppContext::librarySlots(), a test's slotTile(),
    # PdfPageView::pageGeometry(), AutoPlaylistFilters::tempoMapEntries()): a call of one stands for an
    # object of the class.
    accessors = set()
    handed_out_by = set()
    for place, texts in (("src", src_text), ("src", own_text), ("tests", test_text)):
        for text in texts.values():
            for found in re.finditer(r"\b(?:" + class_pattern + r")\s*>*(?:\s*(?:const\s*)?[&*]\s*|\s+)(\w+)\s*"
                                     r"\([^(){};]*\)\s*(?:const\s*)?[{;]", text):
                accessors.add(found.group(1))
                if place == "src":
                    handed_out_by.add(found.group(1))
    # What only a seam hands out (PdfPageView::shownForTesting()'s Shown) is the seam's: its members are
    # there for the tests.
    seam_type = bool(handed_out_by) and all(a.endswith("ForTesting") for a in handed_out_by)

    # Names given the class anywhere (PdfDocumentPtr for std::shared_ptr<PdfDocument>, in its header).
    aliases = set()
    for text in list(src_text.values()) + list(own_text.values()):
        for found in re.finditer(r"\busing\s+(\w+)\s*=\s*(?:std::\w+<\s*)?(?:const\s+)?(?:\w+::)*" + name +
                                 r"\s*>?\s*[*&]?\s*;", text):
            aliases.add(found.group(1))

    def holders(text):
        """Expressions that stand for an object of the class in this file."""
        types = {name} | derived | aliases
        for alias in re.finditer(r"using\s+(\w+)\s*=\s*[^;]*\b" + name + r"\b", text):
            types.add(alias.group(1))
        # A template's parameter that the code tells apart as the class ("std::is_same_v<Ranks, TextRanks>").
        for parameter in re.finditer(r"\bis_same_v<\s*(\w+)\s*,\s*(?:\w+::)*" + name + r"\s*>", text):
            types.add(parameter.group(1))
        type_pattern = "|".join(sorted(types))
        # A call of an accessor, its arguments nested two deep
        # ("glassOf(static_cast<TileView *>(QApplication::focusWidget()))").
        found = {r"current\(\)"} | {r"\b" + re.escape(a) + ARGUMENTS for a in accessors}
        # A variable, parameter or field of the class, or a list or an optional of them; a loop's variable
        # too ("for (const Name &row : rows)").
        for declared in re.finditer(r"\b(?:" + type_pattern + r")\s*" + TEMPLATE_ARGS + r"\s*>*\s*(?:const\s*)?"
                                    r"[*&]*\s*(?:const\s*)?(\w+)\s*(?:[=;,)({\[]|:(?!:))", text):
            found.add(re.escape(declared.group(1)))
        # A variable declared with the class itself ("struct PreviewSong { ... } m_previewSong;").
        for declared in re.finditer(r"\b(?:class|struct)\s+" + name + r"\b[^;{]*\{", text):
            after = declared.end() + len(body_from(text, declared.end(), name)) + 1
            variable = re.match(r"\s*(\w+)\s*[;={]", text[after:])
            if variable:
                found.add(re.escape(variable.group(1)))
        calls = "|".join(re.escape(a) + r"\(" for a in accessors)
        for made in re.finditer(r"\bauto\s*[*&]?\s*(\w+)\s*=[^;]*\b(?:" + type_pattern + r"|viewers\(\)|show\(" +
                                ("|" + calls if calls else "") + r")", text):
            found.add(re.escape(made.group(1)))
        # A lambda's capture made of one or copied from one ("[report = StatusReport(sink)]",
        # "[chosen = options]").
        lists = "|".join(sorted(found))
        for captured in re.finditer(r"[\[,]\s*(\w+)\s*=\s*(?:std::move\(\s*)?(?:\b(?:" + type_pattern + r")\b|"
                                    r"\b(?:" + lists + r")\s*[,\])])", text):
            found.add(re.escape(captured.group(1)))
        # The variable of a loop over a list of them ("for (const auto &entry : presets)").
        lists = "|".join(sorted(found))
        for loop in re.finditer(r"\bfor\s*\(\s*(?:const\s+)?auto\s*[*&]{0,2}\s*(\w+)\s*:\s*([^;{}]*)\)", text):
            if re.search(r"\b(?:" + lists + r")", loop.group(2)):
                found.add(re.escape(loop.group(1)))
        return "|".join(sorted(found))

    # Made with new, by a factory (of a const one too), as a variable, or as a member held by value; by
    # the class's name or an alias of it (GeneratedPlaylist's Library).
    made_names = "|".join(sorted({name} | aliases))
    made = (r"(new\s+|make_unique<|make_shared<)(const\s+)?(?:" + made_names + r")\b|\b(?:" + made_names +
            r")\s*" + TEMPLATE_ARGS + r"\s+\w+\s*[({;]")

    # One made for the call and used at once ("LibrarySearchIndex(rows, 0, -1).runFilter(query)").
    temporary = r"\b(?:" + made_names + r")" + TEMPLATE_ARGS + r"(?:" + ARGUMENTS + r"|\{[^{};]*\})\s*(?:->|\.)"

    holders_of = {}

    def holders_in(path, text):
        if path not in holders_of:
            holders_of[path] = holders(text)
        return holders_of[path]

    def used(texts, member):
        files = []
        for path, text in texts.items():
            text = tree.seen_from(path, text)
            if name not in text and not any(a + "(" in text for a in accessors) and \
                    not any(d in text for d in derived):
                continue
            if member == name:
                pattern = made
            elif member.startswith("~"):
                continue
            else:
                pattern = (r"(\b(?:" + holders_in(path, text) + r")" + ELEMENT + r"\s*(->|\.)|" + temporary + r"|\b" +
                           name + TEMPLATE_ARGS + r"::)\s*" + re.escape(member) + r"\b")
            if re.search(pattern, text):
                files.append(str(path.relative_to(root)))
        return files

    def used_by_neighbours(member):
        """Reached in the class's own files from outside its members: a free helper or another class
        there (a view's delegate) that calls it through an object of the class or as Name::member. Such
        a member must stay public, as for code elsewhere. Definitions (Name::member at a line's start)
        are no use."""
        if member.startswith("~"):
            return False
        for path, text in own_text.items():
            pair = path.with_suffix(".h")
            declared = text
            if path.suffix == ".cpp" and pair.exists():
                declared = tree.header_words(pair) + text
            if ("own", path) not in holders_of:
                holders_of["own", path] = holders(declared)
            # The constructor where a free function there makes one (MemoryTrim's freeInBackground()).
            pattern = made if member == name else (
                r"(\b(?:" + holders_of["own", path] + r")" + ELEMENT + r"\s*(->|\.)|" + temporary + r"|\b" + name +
                TEMPLATE_ARGS + r"::)\s*" + re.escape(member) + r"\b")
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
                # Inside the class's own declaration: its inline members, or the declaration itself.
                if heads and re.match(r"(?:template\s*<.*>\s*)?(?:class|struct)\s+" + name + r"\b",
                                      heads[-1].group(0)):
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
            groups["test seams" if seam_type else "tests/tools only"].append(member)
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
    """Whether the text defines a member of NAME, a nested class's as Outer::NAME::f. A definition starts
    its line; a call of a static member (return Name::f(...)) inside a body is indented, or follows
    "return"."""
    pattern = r"^(?!return\b)(?:[\w:<>,*&~]+[ \t]+)*[*&]*(?:\w+::)*" + name + r"::~?\w+\s*\("
    return re.search(pattern, text, re.M) is not None


def own_definers(tree, name):
    """The files that define members of NAME besides its own .cpp (MainWindowFolder.cpp)."""
    return {p for p, t in tree.src.items() if p.suffix == ".cpp" and defines_members(t, name)}


def survey_all(tree):
    """Every class and struct declared in a header of src/, whatever its name and wherever it is nested:
    the members no production code uses."""
    total = 0
    classes = 0
    for header in sorted((root / "src").rglob("*.h")):
        text = strip_comments(header.read_text())
        try:
            found = declarations(text)
        except ValueError as error:
            print(f"{header.relative_to(root)}: not read ({error})")
            continue
        for kind, name, qualified, body in found:
            classes += 1
            members, groups = survey(tree, header, name, own_definers(tree, name), declared=(kind, body))
            left = groups["tests/tools only"] + groups["unused"]
            if left:
                total += len(groups["tests/tools only"])
                print(f"{header.relative_to(root)} {qualified}: " +
                      "; ".join(f"{g}: {', '.join(n)}" for g, n in groups.items()
                                if g in ("tests/tools only", "unused") and n))
    print(f"classes and structs read: {classes}")
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


# What --all once skipped: a struct, a class not named after its header, a class template, a struct nested
# in a class and one in it, a struct declared with a variable; and what it must not take for a class.
SELF_TEST_DECLARATIONS = """
struct Plain {
    int a = 0;
    QString b;
    bool isEmpty() const { return b.isEmpty(); }
private:
    int m_hidden = 0;
};
template <typename T> class Holder final : public Base<T> {
public:
    const T &value() const;
    struct Part {
        int size = 0;
        struct Inner {
            int depth = 0;
        };
    };
};
class Outer {
    struct Kept {
        int row = -1;
    } m_kept;
    enum class Kind { one };
    friend class Friend;
    class Forward;
public:
    void run();
};
"""


def self_test():
    """The shapes that once made members vanish or misnamed them: a body over several lines, a nested
    struct, macros, "//" inside a string, an initializer that calls a function; and an override. The
    classes and structs --all reads, nested ones too, and the members of a struct, public unless
    labelled."""
    overrides = set()
    found = public_members(class_body(SELF_TEST, "Sample"), "Sample", overrides)
    expected = ["afterStruct", "withBody", "afterBody", "x", "home", "key", "callback", "rowCount", "last"]
    if found != expected:
        sys.exit(f"public-surface self-test: found {found}, expected {expected}")
    declared = {qualified: public_members(body, name, None, kind)
                for kind, name, qualified, body in declarations(SELF_TEST_DECLARATIONS)}
    expected = {"Plain": ["a", "b", "isEmpty"], "Holder": ["value"], "Holder::Part": ["size"],
                "Holder::Part::Inner": ["depth"], "Outer": ["run"], "Outer::Kept": ["row"]}
    if declared != expected:
        sys.exit(f"public-surface self-test: declarations {declared}, expected {expected}")
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
