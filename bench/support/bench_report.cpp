#include "bench_report.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Linear interpolation between the closest ranks, as spreadsheets compute quartiles.
double Quantile(const std::vector<double>& sorted, double q) {
    if (sorted.empty())
        return 0;
    const double position = q * static_cast<double>(sorted.size() - 1);
    const size_t below = static_cast<size_t>(position);
    const size_t above = std::min(below + 1, sorted.size() - 1);
    const double fraction = position - static_cast<double>(below);
    return sorted[below] + (sorted[above] - sorted[below]) * fraction;
}

class CsvFile {
  public:
    CsvFile(const std::string& path, const char* header) : file_(std::fopen(path.c_str(), "wb")) {
        if (file_ != nullptr)
            std::fprintf(file_, "%s\n", header);
        else
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
    }
    ~CsvFile() {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;

    FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }

  private:
    FILE* file_;
};

} // namespace

Spread Summarise(std::vector<double> values) {
    Spread spread;
    if (values.empty())
        return spread;
    std::sort(values.begin(), values.end());
    spread.median = Quantile(values, 0.5);
    spread.p25 = Quantile(values, 0.25);
    spread.p75 = Quantile(values, 0.75);
    spread.min = values.front();
    spread.max = values.back();
    return spread;
}

BenchReport::BenchReport(std::string directory, std::string name)
    : directory_(std::move(directory)), name_(std::move(name)) {}

void BenchReport::AddSample(const SeriesKey& key, double seconds, long unitCount) {
    Series& series = series_[key];
    series.seconds.push_back(seconds);
    series.units.push_back(unitCount);
}

void BenchReport::AddRatio(const std::string& name, const SeriesKey& measured,
                           const SeriesKey& baseline, double goal) {
    ratios_.push_back({name, measured, baseline, goal});
}

void BenchReport::AddValue(const std::string& figure, const std::string& name, double value,
                           const std::string& unit) {
    values_.push_back({figure, name, unit, value});
}

std::vector<double> BenchReport::PerUnit(const SeriesKey& key) const {
    std::vector<double> result;
    auto found = series_.find(key);
    if (found == series_.end())
        return result;
    const Series& series = found->second;
    for (size_t i = 0; i < series.seconds.size(); ++i)
        result.push_back(series.units[i] > 0 ? series.seconds[i] / series.units[i]
                                             : series.seconds[i]);
    return result;
}

bool BenchReport::Write() const {
    const std::string prefix = directory_ + "\\" + name_;
    CsvFile samples(prefix + ".samples.csv", "figure,size,variant,repetition,seconds,units");
    CsvFile summary(prefix + ".summary.csv",
                    "figure,size,variant,repetitions,median_us,p25_us,p75_us,min_us,max_us,"
                    "units,median_ns_per_unit,p25_ns_per_unit,p75_ns_per_unit");
    CsvFile ratios(prefix + ".ratios.csv",
                   "ratio,figure,size,variant,baseline,median,p25,p75,min,max,goal,met,fastest");
    CsvFile values(prefix + ".values.csv", "figure,name,value,unit");
    if (!samples || !summary || !ratios || !values)
        return false;

    for (const auto& [key, series] : series_) {
        for (size_t i = 0; i < series.seconds.size(); ++i)
            std::fprintf(samples.get(), "%s,%ld,%s,%zu,%.9f,%ld\n", key.figure.c_str(), key.size,
                         key.variant.c_str(), i, series.seconds[i], series.units[i]);
        const Spread s = Summarise(series.seconds);
        const long units = series.units.empty() ? 0 : series.units.back();
        // Without units the per-unit columns repeat the whole time, in nanoseconds.
        const Spread perUnit = Summarise(PerUnit(key));
        std::fprintf(summary.get(), "%s,%ld,%s,%zu,%.3f,%.3f,%.3f,%.3f,%.3f,%ld,%.3f,%.3f,%.3f\n",
                     key.figure.c_str(), key.size, key.variant.c_str(), series.seconds.size(),
                     s.median * 1e6, s.p25 * 1e6, s.p75 * 1e6, s.min * 1e6, s.max * 1e6, units,
                     perUnit.median * 1e9, perUnit.p25 * 1e9, perUnit.p75 * 1e9);
    }

    for (const Ratio& ratio : ratios_) {
        const std::vector<double> measured = PerUnit(ratio.measured);
        const std::vector<double> baseline = PerUnit(ratio.baseline);
        std::vector<double> paired;
        for (size_t i = 0; i < measured.size() && i < baseline.size(); ++i)
            if (baseline[i] > 0)
                paired.push_back(measured[i] / baseline[i]);
        const Spread s = Summarise(paired);
        // The fastest sample of each side is the one a busy machine disturbed least.
        const double fastestBaseline = Summarise(baseline).min;
        const double fastest = fastestBaseline > 0 ? Summarise(measured).min / fastestBaseline : 0;
        std::fprintf(ratios.get(), "%s,%s,%ld,%s,%s,%.4f,%.4f,%.4f,%.4f,%.4f,%.2f,%s,%.4f\n",
                     ratio.name.c_str(), ratio.measured.figure.c_str(), ratio.measured.size,
                     ratio.measured.variant.c_str(), ratio.baseline.variant.c_str(), s.median,
                     s.p25, s.p75, s.min, s.max, ratio.goal,
                     ratio.goal <= 0          ? "-"
                     : s.median <= ratio.goal ? "yes"
                                              : "no",
                     fastest);
    }

    for (const Value& value : values_)
        std::fprintf(values.get(), "%s,%s,%.0f,%s\n", value.figure.c_str(), value.name.c_str(),
                     value.value, value.unit.c_str());
    return true;
}

std::string OutputDirectory(int argc, char** argv) {
    return argc > 1 ? argv[1] : ".";
}

int Repetitions(int argc, char** argv, int fallback) {
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 0;
    return repetitions > 0 ? repetitions : fallback;
}
