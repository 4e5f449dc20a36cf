"""The walk from a parsed expression to its flat program (see invlap.expression)."""

import ast
import decimal
import operator
import unicodedata
from fractions import Fraction

from invlap._expression.language import (
    BESSEL_FUNCTIONS, CONSTANT_NAMES, FUNCTION_LIST, FUNCTIONS, MAX_BESSEL_ORDER,
    MAX_CONSTANT_BITS, MAX_INSTRUCTIONS, MAX_POWI_EXPONENT, UNARY_FUNCTIONS, expression_error,
    known_names, usage)

__all__ = ["Compiler"]

_BINARY_OPS = {ast.Add: "add", ast.Sub: "sub", ast.Mult: "mul", ast.Div: "div", ast.Pow: "pow"}
_FOLDS = {"add": operator.add, "sub": operator.sub, "mul": operator.mul, "div": operator.truediv}
_REFUSED_OPERATORS = {ast.FloorDiv: "//", ast.Mod: "%", ast.MatMult: "@", ast.BitXor: "^",
                      ast.BitOr: "|", ast.BitAnd: "&", ast.LShift: "<<", ast.RShift: ">>",
                      ast.Invert: "~", ast.Not: "not"}
_REFUSED_NODES = {ast.Attribute: "attribute access", ast.Subscript: "subscript",
                  ast.Lambda: "lambda", ast.IfExp: "conditional expression",
                  ast.Compare: "comparison", ast.BoolOp: "logical operator",
                  ast.NamedExpr: "assignment expression", ast.ListComp: "comprehension",
                  ast.SetComp: "comprehension", ast.DictComp: "comprehension",
                  ast.GeneratorExp: "comprehension", ast.JoinedStr: "f-string",
                  ast.Tuple: "tuple", ast.List: "list", ast.Set: "set", ast.Dict: "dict",
                  ast.Starred: "starred argument", ast.Await: "await", ast.Yield: "yield",
                  ast.YieldFrom: "yield", ast.Slice: "slice"}
_REFUSED_CONSTANTS = {str: "string", bytes: "bytes", bool: "boolean", complex: "complex number"}


def _bits(q):
    return q.numerator.bit_length() + q.denominator.bit_length()


class Compiler:
    """Walks a parsed expression and writes its program, one node at a time.

    The walk keeps its own stack rather than recursing: Python's parser accepts trees
    about 10,000 levels deep (s+s+...+s), ten times the interpreter's recursion limit.
    A value on the way is a Fraction (an exact number, not yet in the program) or an
    int (a register). Identical instructions are written once.
    """

    def __init__(self, source, params):
        self.source = source
        self.params = params
        self.param_index = {unicodedata.normalize("NFKC", p): i for i, p in enumerate(params)}
        self.used = set()  # parameter names as the parser spells them (NFKC)
        self.code = []
        self.registers = {}
        self.constants = []
        self.constant_index = {}

    def run(self, root):
        values = []
        stack = [(root, -1)]  # (node, -1) on the way down; (node, arity) on the way up
        while stack:
            node, arity = stack.pop()
            if arity >= 0:
                operands = values[len(values) - arity:]
                del values[len(values) - arity:]
                values.append(self._combine(node, operands))
            elif isinstance(node, (ast.Name, ast.Constant)):
                values.append(self._leaf(node))
            else:
                children = self._operands(node)
                stack.append((node, len(children)))
                stack.extend((child, -1) for child in reversed(children))
        # Each instruction comes after its operands, so the root's is the last one.
        self._register(values.pop())

    def _emit(self, op, a=0, b=0):
        key = (op, a, b)
        register = self.registers.get(key)
        if register is None:
            if len(self.code) >= MAX_INSTRUCTIONS:
                raise expression_error("expression too long", self.source.text,
                                       details=f"more than {MAX_INSTRUCTIONS} instructions")
            register = self.registers[key] = len(self.code)
            self.code.append(key)
        return register

    def _register(self, value):
        if not isinstance(value, Fraction):
            return value
        j = self.constant_index.get(value)
        if j is None:
            j = self.constant_index[value] = len(self.constants)
            self.constants.append(value)
        return self._emit("const", j)

    def _leaf(self, node):
        if isinstance(node, ast.Name):
            return self._name(node)
        value = node.value
        if type(value) is int:
            if value.bit_length() > MAX_CONSTANT_BITS:
                raise self.source.fail("number {} is out of range", node,
                                       f"at most {MAX_CONSTANT_BITS} bits exactly")
            return Fraction(value)
        if type(value) is float:
            return self._decimal(node)
        kind = _REFUSED_CONSTANTS.get(type(value), "constant")
        raise self.source.fail(kind + " {} is not allowed", node)

    def _decimal(self, node):
        # The literal's own digits, not the double Python made of them.
        try:
            number = decimal.Decimal(self.source.fragment(node))
        except decimal.InvalidOperation:  # an exponent past 10**18
            number = None
        # log2(10) < 4 bounds the bits before 10**exponent is ever formed.
        if number is None or 4 * (len(number.as_tuple().digits)
                                  + abs(number.as_tuple().exponent)) > MAX_CONSTANT_BITS:
            raise self.source.fail("number {} is out of range", node,
                                   f"at most {MAX_CONSTANT_BITS} bits exactly")
        return Fraction(number)

    def _name(self, node):
        name = node.id
        if name == "s" or name in CONSTANT_NAMES:
            return self._emit(name)
        if name in self.param_index:
            self.used.add(name)
            return self._emit("param", self.param_index[name])
        if name in FUNCTIONS:
            raise self.source.fail("function {} used as a value", node, "call it as " + usage(name))
        raise self.source.fail("unknown name {}", node, known_names(self.params))

    def _operands(self, node):
        """The nodes whose values this one combines, after checking the node itself."""
        if isinstance(node, ast.BinOp):
            if type(node.op) in _BINARY_OPS:
                return [node.left, node.right]
            symbol = _REFUSED_OPERATORS[type(node.op)]
            raise self._refused_operator(symbol, self.source.operator_position(node, symbol))
        if isinstance(node, ast.UnaryOp):
            if isinstance(node.op, (ast.USub, ast.UAdd)):
                return [node.operand]
            raise self._refused_operator(_REFUSED_OPERATORS[type(node.op)], self.source.start(node))
        if isinstance(node, ast.Call):
            return self._arguments(node)
        raise self.source.fail(_REFUSED_NODES.get(type(node), "construct") + " {} is not allowed",
                               node)

    def _refused_operator(self, symbol, position):
        hint = "use ** for powers" if symbol == "^" else "operators: + - * / ** and unary + -"
        return expression_error(f"operator {symbol!r} is not supported", self.source.text,
                                position, symbol, hint)

    def _arguments(self, node):
        name = node.func.id if isinstance(node.func, ast.Name) else None
        if name not in FUNCTIONS:
            raise self.source.fail("{} is not a function", node.func, FUNCTION_LIST)
        if node.keywords:
            raise self.source.fail("keyword argument {} is not allowed", node.keywords[0])
        if len(node.args) != (2 if name in BESSEL_FUNCTIONS else 1):
            raise self.source.fail("wrong number of arguments in {}", node, "use " + usage(name))
        return node.args

    def _combine(self, node, operands):
        if isinstance(node, ast.UnaryOp):
            (x,) = operands
            if isinstance(node.op, ast.UAdd):
                return x
            return -x if isinstance(x, Fraction) else self._emit("neg", x)
        if isinstance(node, ast.BinOp):
            return self._binary(node, _BINARY_OPS[type(node.op)], *operands)
        name = node.func.id
        if name in UNARY_FUNCTIONS:
            return self._emit(name, self._register(operands[0]))
        order, x = operands
        if not (isinstance(order, Fraction) and order.denominator == 1
                and 0 <= order <= MAX_BESSEL_ORDER):
            raise self.source.fail(
                f"{name} order {{}} is not an integer from 0 to {MAX_BESSEL_ORDER}", node.args[0])
        return self._emit(name, self._register(x), int(order))

    def _binary(self, node, op, x, y):
        if op == "pow":
            return self._power(node, x, y)
        exact = isinstance(x, Fraction) and isinstance(y, Fraction)
        if exact and _bits(x) + _bits(y) < MAX_CONSTANT_BITS:
            if op == "div" and y == 0:
                raise self.source.fail("division by zero in {}", node)
            return _FOLDS[op](x, y)
        return self._emit(op, self._register(x), self._register(y))

    def _power(self, node, base, exponent):
        exact = isinstance(exponent, Fraction)
        if exact and exponent.denominator == 1:
            k = exponent.numerator
            if isinstance(base, Fraction) and _bits(base) * abs(k) < MAX_CONSTANT_BITS:
                if base == 0 and k < 0:
                    raise self.source.fail("division by zero in {}", node)
                return base**k
            if abs(k) <= MAX_POWI_EXPONENT:
                return self._emit("powi", self._register(base), k)
        if exact and exponent == Fraction(1, 2):
            return self._emit("sqrt", self._register(base))
        return self._emit("pow", self._register(base), self._register(exponent))
