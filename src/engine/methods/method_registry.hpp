#pragma once
// The inversion methods, one entry each: the one list that the engine's
// entry points, the results' method codes and invlap's Python side (through
// _engine.METHODS) all read. A method's code is its position here, which is
// why entries are only ever appended. No Python header.
//
// Adding a method: one file with its PointSolver and a factory, and one entry
// below (see CONTRIBUTING.md).

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string_view>

#include "engine/methods/point_solver.hpp"

class GwrLevelTables;
class MethodValidity;
class Program;

using MethodCode = std::uint8_t;

// Where a method samples F: on the real axis (GWR, Stehfest), which any real
// F allows but which cannot see oscillation, or in the complex plane.
enum class Samples : std::uint8_t { real, complex };

// Everything a solver is made from, for one job.
struct MethodContext {
    const Program& program;
    std::uint32_t digits;
    std::uint64_t m;                           // given terms or nodes, 0 to choose
    const std::deque<GwrLevelTables>& levels;  // the job's Gaver tables (may be empty)
    MethodValidity& validity;                  // where F's singularities allow what
};

using SolverFactory = std::unique_ptr<PointSolver> (*)(const MethodContext&);

struct MethodEntry {
    std::string_view name;  // as invlap.invert spells it
    Samples samples;
    // Null where expressions cannot ask for it: a method only callables have
    // (its double-precision twin lives in Python under the same name), or a
    // label no method computes (f(0+)).
    SolverFactory make;
    bool callables;  // whether callables may ask for it by name
    // Whether a job of F at these digits builds the Gaver tables up front
    // (their memory is checked before anything runs); null for never.
    bool (*gaver_tables)(const Program& program, std::uint32_t digits);
};

// gaver_tables for the methods that always build them.
bool always_gaver_tables(const Program& program, std::uint32_t digits);

std::span<const MethodEntry> method_registry();

// The entry named `name`, or null.
const MethodEntry* find_method(std::string_view name);

// The code of a method the engine itself names (a code bug if it is not
// registered: ends the process with a message).
MethodCode method_code(std::string_view name);
