#!/usr/bin/env python3
"""Holds help/messages.txt, the messages the help's Troubleshooting topic
explains, and the program's message boxes to each other: every box the source
shows is listed with its caption and text, and every listed message is one the
source shows.

    messages_test.py SOURCE_ROOT

A box's caption is written in the call or is a named text of its file
(const char* const NAME = "..."). Its text is the string written in the
call (MessageBoxA, ShowError), or,
when the call passes a variable, the format text last given to FormatText
for that variable before the call. A call whose text is a parameter of the
function around it forwards someone else's message and is not a message of
its own; any other text is an error, so that no message escapes the list.
"""
import importlib.util
import os
import re
import sys
import tempfile
import unittest

TOKEN = re.compile(r"""
    (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<string>"(?:\\.|[^"\\\n])*")
  | (?P<char>'(?:\\.|[^'\\\n])+')
  | (?P<name>[A-Za-z_]\w*)
  | (?P<scope>::)
  | (?P<space>\s+)
  | (?P<other>.)
""", re.VERBOSE | re.DOTALL)
ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "'": "'", "0": "\0"}
MESSAGE_CALLS = {"MessageBoxA", "ShowError"}


def tokens(source):
    """(kind, value, line) of the source's tokens, comments and spaces left
    out, adjacent string literals joined and their escapes read."""
    out = []
    for match in TOKEN.finditer(source):
        kind = match.lastgroup
        if kind in ("comment", "space"):
            continue
        value = match.group()
        line = source.count("\n", 0, match.start()) + 1
        if kind == "string":
            value = re.sub(r"\\(.)", lambda e: ESCAPES.get(e.group(1), e.group()), value[1:-1])
            if out and out[-1][0] == "string":
                out[-1] = ("string", out[-1][1] + value, out[-1][2])
                continue
        out.append((kind, value, line))
    return out


def call_arguments(toks, open_paren):
    """The arguments of the call whose '(' is at open_paren, each a list of
    tokens."""
    arguments, current, depth = [], [], 0
    for token in toks[open_paren + 1:]:
        if token[1] in "([{":
            depth += 1
        elif token[1] in ")]}":
            if depth == 0:
                arguments.append(current)
                return arguments
            depth -= 1
        elif token[1] == "," and depth == 0:
            arguments.append(current)
            current = []
            continue
        current.append(token)
    raise ValueError("unclosed call")


def program_messages(root):
    """{(caption, text): where} of every message box the source shows."""
    messages = {}
    for folder, _, files in os.walk(os.path.join(root, "src")):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8") as f:
                toks = tokens(f.read())
            formatted = {}  # variable -> the format text last given to it
            # Named texts of the file: const char* const NAME = "text";
            constants = {toks[i][1]: toks[i + 2][1] for i in range(1, len(toks) - 2)
                         if toks[i][0] == "name" and toks[i + 1][1] == "=" and toks[i + 2][0] == "string"
                         and toks[i - 1][1] == "const"}
            for i, (kind, value, line) in enumerate(toks):
                if kind != "name" or i + 1 >= len(toks) or toks[i + 1][1] != "(":
                    continue
                if value == "FormatText":
                    arguments = call_arguments(toks, i + 1)
                    if len(arguments) >= 3 and len(arguments[2]) == 1 and arguments[2][0][0] == "string":
                        formatted[arguments[0][-1][1]] = arguments[2][0][1]
                    continue
                # A declaration or definition, not a call.
                if value not in MESSAGE_CALLS or toks[i - 1][1] in ("void", "::"):
                    continue
                where = f"{os.path.relpath(path, root)}:{line}"
                arguments = call_arguments(toks, i + 1)
                text_argument = arguments[1] if value == "MessageBoxA" else arguments[-1]
                caption_argument = arguments[2] if value == "MessageBoxA" else [("string", "Error", line)]
                if len(caption_argument) == 1 and caption_argument[0][1] in constants:
                    caption_argument = [("string", constants[caption_argument[0][1]], line)]
                if len(caption_argument) != 1 or caption_argument[0][0] != "string":
                    raise ValueError(f"{where}: the caption of this message is not a written text")
                if len(text_argument) == 1 and text_argument[0][0] == "string":
                    text = text_argument[0][1]
                elif len(text_argument) == 1 and text_argument[0][0] == "name":
                    text = formatted.get(text_argument[0][1])
                    if text is None:
                        continue  # a parameter: the helper shows its caller's message
                else:
                    raise ValueError(f"{where}: the text of this message is neither written nor formatted")
                messages[(caption_argument[0][1], text)] = where
    return messages


def listed_messages(root):
    """{(caption, text)} of help/messages.txt, read as the help build reads it."""
    spec = importlib.util.spec_from_file_location("message_topic", os.path.join(root, "tools/help/message-topic.py"))
    topic = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(topic)
    messages = topic.read_messages(os.path.join(root, "help/messages.txt"))
    return {(caption, text.replace("\\r\\n", "\r\n").replace("\\n", "\n")) for caption, text, _ in messages}


class MessagesOfTheHelp(unittest.TestCase):
    def test_the_list_and_the_program_show_the_same_messages(self):
        shown = program_messages(ROOT)
        listed = listed_messages(ROOT)
        self.assertGreaterEqual(len(shown), 10, "the source's message boxes were not found")
        unlisted = [f"{where}: {caption} | {text!r}" for (caption, text), where in sorted(shown.items())
                    if (caption, text) not in listed]
        unshown = [f"{caption} | {text!r}" for caption, text in sorted(listed) if (caption, text) not in shown]
        self.assertEqual([], unlisted, "message boxes of the program missing from help/messages.txt")
        self.assertEqual([], unshown, "messages in help/messages.txt that the program does not show")

    def test_how_the_text_of_a_box_is_found(self):
        source = r'''
            void ShowError(HWND owner, const char* text) { MessageBoxA(owner, text, "Error", MB_OK); }
            void Rip()
            {
                MessageBoxA(nullptr, "Nothing to " /* joined */ "rip.", "No Tracks", MB_OK);
                FormatText(text, sizeof(text), "First %s.", a);
                FormatText(text, sizeof(text), "Track \"%s\" failed.", b);  // the last one counts
                ShowError(hWnd, text);
                job.ShowError("Stopped.\n");
            }
        '''
        with tempfile.TemporaryDirectory() as root:
            os.mkdir(os.path.join(root, "src"))
            with open(os.path.join(root, "src", "Rip.cpp"), "w", encoding="utf-8") as f:
                f.write(source)
            self.assertEqual({("No Tracks", "Nothing to rip."), ("Error", 'Track "%s" failed.'), ("Error", "Stopped.\n")},
                             set(program_messages(root)))
            with open(os.path.join(root, "src", "Rip.cpp"), "a", encoding="utf-8") as f:
                f.write('void Ask() { MessageBoxA(nullptr, Question(), "Corvane", MB_YESNO); }\n')
            with self.assertRaisesRegex(ValueError, "Rip.cpp:11: the text of this message is neither"):
                program_messages(root)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    ROOT = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=2)
