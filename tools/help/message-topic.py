#!/usr/bin/env python3
"""Writes the messages of help/messages.txt as halibut paragraphs, to follow
the Troubleshooting topic: each message as the user sees it, bold, with the
caption of its box, then what it means and what to do.

    message-topic.py MESSAGES.txt OUT.but
"""
import sys


def read_messages(path):
    """(caption, text, explanation) of every line that is not a comment."""
    messages = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = [field.strip() for field in line.split(" | ")]
            if len(fields) != 3 or not all(fields):
                sys.exit(f"{path}:{number}: expected caption | text | explanation")
            messages.append(tuple(fields))
    return messages


def halibut_text(text):
    """Text halibut prints as it is: its three special characters escaped."""
    return text.replace("\\", "\\\\").replace("{", "\\{").replace("}", "\\}")


def shown(text):
    """The message as the help shows it: names the program puts in become
    "...", and ended lines a space (a help paragraph has no line breaks).
    A line may end with "\\r\\n", as the system's own texts do."""
    return text.replace("\\r\\n", "\\n").replace("\\n\\n", " ").replace("\\n", " ").replace("%s", "...")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    paragraphs = []
    for caption, text, explanation in read_messages(sys.argv[1]):
        paragraphs.append(f"\\s{{{halibut_text(shown(text))}}} ({halibut_text(caption)})")
        paragraphs.append(halibut_text(explanation))
    with open(sys.argv[2], "w", encoding="utf-8") as f:
        f.write("\n\n".join(paragraphs) + "\n")


if __name__ == "__main__":
    main()
