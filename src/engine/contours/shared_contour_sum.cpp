#include "engine/contours/shared_contour_sum.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/contours/vector_exp_sincos.hpp"

// The four-double helpers are all inlined into sum_at's clones: no call in
// this file passes them by a convention that depends on AVX (GCC reports the
// clones' ABI at the end of the file, past any narrower scope).
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// Terms below this share of the magnitude cannot move a value by more than
// the doubles' rounding: the estimate allows three rounding units of the
// whole magnitude, and a thousand such terms sum to 2^-60 of it.
constexpr double negligible = 0x1p-70;
// Below this many times a thread's start costs more than its share saves.
constexpr std::size_t times_per_thread = 64;
constexpr std::size_t lanes = 4;

// The nodes and weights apart, padded to whole groups of four with terms
// that are nought (a node far left, a weight of nought).
struct Terms {
    std::size_t size = 0;
    std::vector<double> re, im, weight_re, weight_im, weight_size, turn_size;
    // The largest |w_j| for j >= k where the real parts never rise with k,
    // else empty: then no tail is bounded, and every term is summed.
    std::vector<double> tail_size;
};

Terms terms_of(const SharedContourJob& job) {
    Terms terms;
    terms.size = job.size;
    const std::size_t padded = (job.size + lanes - 1) / lanes * lanes;
    terms.re.assign(padded, -INFINITY);
    terms.im.assign(padded, 0.0);
    terms.weight_re.assign(padded, 0.0);
    terms.weight_im.assign(padded, 0.0);
    terms.weight_size.assign(padded, 0.0);
    terms.turn_size.assign(padded, 0.0);
    bool falling = true;
    for (std::size_t k = 0; k < job.size; ++k) {
        terms.re[k] = job.nodes[2 * k];
        terms.im[k] = job.nodes[2 * k + 1];
        terms.weight_re[k] = job.weights[2 * k];
        terms.weight_im[k] = job.weights[2 * k + 1];
        terms.weight_size[k] = std::hypot(terms.weight_re[k], terms.weight_im[k]);
        terms.turn_size[k] = terms.weight_size[k] * std::hypot(terms.re[k], terms.im[k]);
        falling = falling && (k == 0 || terms.re[k] <= terms.re[k - 1]);
    }
    if (falling) {
        terms.tail_size.resize(job.size);
        double largest = 0;
        for (std::size_t k = job.size; k-- > 0;) {
            // A weight that is not finite (F's NaN or overflow) keeps every
            // term before it in the sum, which it then poisons as it should.
            largest = std::isfinite(terms.weight_size[k])
                          ? std::max(largest, terms.weight_size[k]) : INFINITY;
            terms.tail_size[k] = largest;
        }
    }
    return terms;
}

// The value, magnitude and turns at t, four terms at a time; compiled for AVX2 with
// FMA where the processor has them, and for the baseline elsewhere.
[[gnu::target_clones("arch=x86-64-v3", "default")]]
void sum_at(const Terms& terms, double t, double& value, double& magnitude, double& turns) {
    const bool bounded = !terms.tail_size.empty();
    Double4 sum{}, total{}, turned{};
    double so_far = 0;
    for (std::size_t k = 0; k < terms.size; k += lanes) {
        const Double4 grow = exp4(load4(&terms.re[k]) * t);
        // Every later term is at most the growth of this group's first (the
        // largest, the real parts falling) times the largest weight left:
        // once that is negligible, so is each of the rest.
        if (bounded && terms.tail_size[k] * grow[0] <= negligible * so_far) {
            break;
        }
        const Double4 term = grow * load4(&terms.weight_size[k]);
        total += term;
        turned += grow * load4(&terms.turn_size[k]);
        so_far += (term[0] + term[1]) + (term[2] + term[3]);
        const Double4 turn = load4(&terms.im[k]) * t;
        Double4 sine, cosine;
        if (std::fabs(turn[0]) < sincos4_limit && std::fabs(turn[1]) < sincos4_limit &&
            std::fabs(turn[2]) < sincos4_limit && std::fabs(turn[3]) < sincos4_limit) {
            sincos4(turn, sine, cosine);
        } else {  // far phases, rare: the library's general reduction
            for (std::size_t i = 0; i < lanes; ++i) {
                sine[i] = std::sin(turn[i]);
                cosine[i] = std::cos(turn[i]);
            }
        }
        sum += grow * (sine * load4(&terms.weight_re[k]) + cosine * load4(&terms.weight_im[k]));
    }
    value = (sum[0] + sum[1]) + (sum[2] + sum[3]);
    magnitude = (total[0] + total[1]) + (total[2] + total[3]);
    turns = ((turned[0] + turned[1]) + (turned[2] + turned[3])) * std::fabs(t);
}

class SumTask final : public WorkerTask {
public:
    SumTask(const SharedContourJob& job, const Terms& terms, double* value, double* magnitude,
            double* turns)
        : job_(job), terms_(terms), value_(value), magnitude_(magnitude), turns_(turns) {}

    void run(std::size_t i) override {
        double turns = 0;
        sum_at(terms_, job_.t[i], value_[i], magnitude_[i], turns);
        if (turns_ != nullptr) {
            turns_[i] = turns;
        }
    }

private:
    const SharedContourJob& job_;
    const Terms& terms_;
    double* value_;
    double* magnitude_;
    double* turns_;
};

}  // namespace

void shared_contour_sums(const SharedContourJob& job, double* value, double* magnitude,
                         double* turns, JobControl& control) {
    const Terms terms = terms_of(job);
    const unsigned workers = static_cast<unsigned>(std::clamp<std::size_t>(
        job.count / times_per_thread, 1, std::max(1u, job.workers)));
    run_on_workers(job.count, workers, control, [&] {
        return std::make_unique<SumTask>(job, terms, value, magnitude, turns);
    });
}
