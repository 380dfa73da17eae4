// Collects the samples of one benchmark program and writes them as CSV: every sample, the median
// and spread of each series, and the ratios of a series to its baseline.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

struct Spread {
    double median = 0, p25 = 0, p75 = 0, min = 0, max = 0;
};

Spread Summarise(std::vector<double> values);

// A series: one figure measured for one size by one variant (the product or its baseline).
struct SeriesKey {
    std::string figure;
    long size = 0;
    std::string variant;
    bool operator<(const SeriesKey& other) const {
        return std::tie(figure, size, variant) < std::tie(other.figure, other.size, other.variant);
    }
};

class BenchReport {
  public:
    // Files are written to directory as name.samples.csv, name.summary.csv, name.ratios.csv and
    // name.values.csv.
    BenchReport(std::string directory, std::string name);

    // unitCount is what the per-unit cost divides by (processes, rows); 0 when it has none.
    void AddSample(const SeriesKey& key, double seconds, long unitCount = 0);

    // The ratio of two series, sample by sample (samples of the same repetition are taken
    // side by side), each divided by its unit count first. A goal of 0 means none.
    void AddRatio(const std::string& name, const SeriesKey& measured, const SeriesKey& baseline,
                  double goal);

    // A single figure that is not a time (bytes, file sizes).
    void AddValue(const std::string& figure, const std::string& name, double value,
                  const std::string& unit);

    // Writes every file; false when one could not be written.
    bool Write() const;

  private:
    struct Series {
        std::vector<double> seconds;
        std::vector<long> units;
    };
    struct Ratio {
        std::string name;
        SeriesKey measured, baseline;
        double goal;
    };
    struct Value {
        std::string figure, name, unit;
        double value;
    };

    std::vector<double> PerUnit(const SeriesKey& key) const;

    std::string directory_, name_;
    std::map<SeriesKey, Series> series_;
    std::vector<Ratio> ratios_;
    std::vector<Value> values_;
};

// The output directory named on the command line (first argument), or the current directory.
std::string OutputDirectory(int argc, char** argv);
// The repetition count named on the command line (second argument), or the fallback.
int Repetitions(int argc, char** argv, int fallback);
