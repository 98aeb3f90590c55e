#!/usr/bin/env python3
"""Builds a manual page from its hand-written template and the program's own
help, so the option and command lists can never drift from --help.

    genman.py TEMPLATE OUTPUT VERSION [--program PROGRAM] [--exports TABLE]

Markers in the template (each alone on a line):
    @USAGE@            the usage lines of `PROGRAM --help`, as a synopsis
    @ITEMS Title@      the items ("  term   text") of the help section "Title:"
    @TEXT Title@       the text of the help section "Title:", as a paragraph
    @VERBATIM@         all of `PROGRAM --help`, unfilled
    @COMMANDS@         one subsection per command of the "Commands:" list,
                       from `PROGRAM help COMMAND`
    @EXPORTS@          the functions of the export TABLE, by family
@VERSION@ anywhere is replaced by VERSION.
"""
import re
import subprocess
import sys

ITEM = re.compile(r"^  (\S.*?)(?: {2,}(\S.*))?$")


def run(program, *args):
    result = subprocess.run([program, *args], capture_output=True, text=True, check=True)
    return result.stdout


def esc(text):
    """Escapes text for roff: backslashes, dashes, and a leading control character."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    if text[:1] in (".", "'"):
        text = "\\&" + text
    return text


def sections(help_text):
    """Splits help text into {"Title": [lines]} by the column-0 "Title:" lines;
    the lines before the first title are under ""."""
    out, title = {"": []}, ""
    for line in help_text.splitlines():
        if re.match(r"^[A-Z][^:]*:$", line):
            title = line[:-1]
            out[title] = []
        else:
            out[title].append(line)
    return out


def usage(help_text):
    lines, taking = [], False
    for line in help_text.splitlines():
        # A usage line may end in a description after a run of spaces.
        if line.startswith("usage: "):
            taking = True
            lines.append(re.split(r" {2,}", line[len("usage: "):].strip())[0])
        elif taking and line.startswith("  ") and line.strip():
            lines.append(re.split(r" {2,}", line.strip())[0])
        else:
            taking = False
    return [".nf"] + [".B " + esc(lines[0])] + [esc(l) for l in lines[1:]] + [".fi"]


def items(lines):
    """Turns "  term   text" lines (text may continue on deeper lines) into .TP
    entries; an unindented line is a paragraph of its own."""
    out = []
    for line in lines:
        if not line.strip():
            continue
        if not line.startswith(" "):
            out += [".PP", esc(line)]
            continue
        m = ITEM.match(line)
        if m and not line.startswith("   "):
            out += [".TP", "\\fB" + esc(m.group(1)) + "\\fR"]
            if m.group(2):
                out.append(esc(m.group(2)))
        else:
            out.append(esc(line.strip()))
    return out


def paragraphs(lines):
    """Blank-line separated paragraphs; one with indented lines stays unfilled."""
    out, block = [], []
    for line in lines + [""]:
        if line.strip():
            block.append(line)
            continue
        if block:
            out.append(".PP")
            if any(l.startswith(" ") for l in block):
                out += [".nf"] + [esc(l) for l in block] + [".fi"]
            else:
                out += [esc(l) for l in block]
        block = []
    return out


def command_section(program, name):
    parts = sections(run(program, "help", name))
    lead = parts[""]
    while lead and not lead[0].strip():
        lead = lead[1:]
    synopsis = name
    if lead and lead[0].startswith("usage: "):
        synopsis = lead[0][len("usage: "):].replace("termlink CONNECTION ", "")
        lead = lead[1:]
    out = [".SS " + esc(synopsis)] + paragraphs(lead)
    for title, lines in parts.items():
        if title == "Options":
            out += items(lines)
        elif title:
            out += [".PP", esc(title + ":")] + paragraphs(lines)
    return out


def exports(table):
    """The export table's plain names under their "# -- family" headings,
    neither hyphenated nor stretched."""
    out, names = [".nh", ".ad l"], []
    for line in open(table, encoding="utf-8").read().splitlines() + ["# -- end"]:
        if line.startswith("# -- "):
            if names:
                out += [".TP", esc(family), ", ".join("\\fB" + esc(n) + "\\fR" for n in names)]
            family, names = line[len("# -- "):], []
        elif line.strip() and not line.startswith("#"):
            names.append(line.split()[1])
    return out + [".ad", ".hy"]


def main():
    args = sys.argv[1:]
    template, output, version = args[:3]
    options = dict(zip(args[3::2], args[4::2]))
    program = options.get("--program")
    help_text = run(program, "--help") if program else ""
    parts = sections(help_text)
    out = []
    with open(template, encoding="utf-8") as f:
        for line in f.read().splitlines():
            line = line.replace("@VERSION@", version)
            marker = re.match(r"^@([A-Z]+)(?: (.*))?@$", line)
            if not marker:
                out.append(line)
                continue
            kind, arg = marker.groups()
            if kind == "USAGE":
                out += usage(help_text)
            elif kind == "ITEMS":
                out += items(parts[arg])
            elif kind == "TEXT":
                out += paragraphs(parts[arg])
            elif kind == "VERBATIM":
                out += [".nf"] + [esc(l) for l in help_text.splitlines()] + [".fi"]
            elif kind == "COMMANDS":
                for entry in parts["Commands"]:
                    m = ITEM.match(entry)
                    if m:
                        out += command_section(program, m.group(1))
            elif kind == "EXPORTS":
                out += exports(options["--exports"])
            else:
                sys.exit(f"{template}: unknown marker {line}")
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
