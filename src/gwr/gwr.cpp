#include "gwr/gwr.hpp"

#include "failure/internal_failure.hpp"

Result<std::vector<double>> gwr_rust(PyObject*, const std::vector<double>&, std::uint64_t,
                                     std::optional<std::uint32_t>) {
    internal_failure("gwr_rust: the GWR routine is not built yet");
}
