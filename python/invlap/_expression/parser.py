"""Python's parser applied to an expression, with every position given back as a
character index into the caller's text."""

import ast
import functools
import re
import sys

from invlap._expression.language import expression_error, quoted

__all__ = ["Source"]

# A decimal integer literal: digits (and underscores) not part of a name, a
# hexadecimal literal or a float (no digit, letter or point on either side).
_DECIMAL_INTEGER = re.compile(r"(?<![\w.])\d[\d_]*(?![\w.])")


def _line_starts(text):
    # The tokenizer's line ends: no others (a form feed or U+2028 does not end a line).
    return [0] + [m.end() for m in re.finditer(r"\r\n|\r|\n", text)]


def _error_position(err, line_starts):
    """0-based index of a SyntaxError's place in the text it was raised for, or None."""
    if err.lineno is None or err.offset is None:
        return None
    # SyntaxError counts columns in characters from 1.
    return line_starts[err.lineno - 1] + err.offset - 1


class Source:
    """The caller's text, and the parser's view of it.

    The parser sees the text inside parentheses, so that it may span lines and start
    with blanks as in any bracket in Python.
    """

    def __init__(self, text):
        self.text = text
        self.wrapped = "(" + text + "\n)"

    @functools.cached_property
    def _wrapped_lines(self):
        return _line_starts(self.wrapped)

    def index(self, lineno, col_bytes):
        # ast counts columns in UTF-8 bytes; callers count characters. The -1 takes
        # away our opening parenthesis.
        start = self._wrapped_lines[lineno - 1]
        line = self.wrapped[start:start + col_bytes].encode("utf-8")
        return start + len(line[:col_bytes].decode("utf-8")) - 1

    def start(self, node):
        return self.index(node.lineno, node.col_offset)

    def fragment(self, node):
        return self.text[self.start(node):self.index(node.end_lineno, node.end_col_offset)]

    def fail(self, problem, node, details=None):
        """The error for a node; `problem` has ``{}`` where the node's text goes."""
        fragment = self.fragment(node)
        return expression_error(problem.format(quoted(fragment)), self.text, self.start(node),
                                fragment, details)

    def parse(self):
        """The expression node of the text; raises ExpressionError on a syntax error."""
        try:
            body = ast.parse(self.wrapped, mode="eval").body
        except SyntaxError as err:
            if "\0" in self.text:  # the parser gives no place for it
                raise self._bad_character(self.text.index("\0")) from None
            too_long = self._overlong_integer()
            if too_long is not None:
                raise too_long from None
            position = _error_position(err, self._wrapped_lines)
            if position is not None and 1 <= position <= len(self.text):
                raise self._syntax_error(err.msg, position - 1) from None
        except UnicodeEncodeError as err:  # a lone surrogate
            raise self._bad_character(err.start - 1) from None
        except (RecursionError, MemoryError):
            raise self._too_deep() from None
        else:
            if self.start(body) >= 0:
                return body
        # Our parentheses took part in the fault ('(' never closed, an unmatched ')'),
        # so Python's account of the caller's text alone is the one to give.
        stripped = self.text.lstrip(" \t\f\r\n")
        skipped = len(self.text) - len(stripped)
        try:
            ast.parse(stripped, mode="eval")
        except SyntaxError as err:
            position = _error_position(err, _line_starts(stripped))
            if position is not None:
                position += skipped
            raise self._syntax_error(err.msg, position) from None
        except (RecursionError, MemoryError):
            raise self._too_deep() from None
        # Only a tuple written without parentheses parses both ways: ours became its own.
        raise expression_error(f"tuple {quoted(stripped)} is not allowed", self.text, skipped,
                               stripped)

    def _overlong_integer(self):
        """The error for a decimal integer literal longer than the interpreter converts
        (sys.get_int_max_str_digits()), or None. The parser refuses such a literal
        without saying where it is, so it is looked for here."""
        limit = sys.get_int_max_str_digits()
        if limit == 0:
            return None
        for match in _DECIMAL_INTEGER.finditer(self.text):
            digits = match.group().replace("_", "")
            if len(digits.lstrip("0")) > limit:
                return expression_error(
                    f"number {quoted(match.group())} is out of range", self.text,
                    match.start(), match.group(),
                    f"at most {limit} decimal digits in one integer; write a larger one as a "
                    "power (10**5000) or in hexadecimal (0x...)")
        return None

    def _bad_character(self, position):
        character = self.text[position]
        return expression_error(f"invalid character {character!r}", self.text, position, character)

    def _too_deep(self):
        # The parser's own limits: 200 nested brackets, and about 10,000 levels of tree.
        return expression_error("expression nested too deeply", self.text)

    def _syntax_error(self, message, position):
        if "Perhaps you forgot a comma" in message:
            message = "invalid syntax: two terms side by side need an operator such as *"
        fragment = None if position is None else self.text[position:position + 1]
        return expression_error("syntax error", self.text, position, fragment, message)

    def operator_position(self, node, symbol):
        """Where the operator `symbol` of a binary node starts, past comments and brackets."""
        i = self.index(node.left.end_lineno, node.left.end_col_offset) + 1
        while not self.wrapped.startswith(symbol, i):
            # Every comment ends in a newline: the wrapped text adds one before ')'.
            i = self.wrapped.index("\n", i) if self.wrapped[i] == "#" else i + 1
        return i - 1
