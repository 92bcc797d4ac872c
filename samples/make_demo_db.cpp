// Writes the demo database the README's run command opens: a training table drawn from a
// small known network of customer records, conditioned as trune leaves a table (the numeric
// field "Tenure" with its interval labels in "Tenure_d", the Boolean hold-out column
// "ZORV_HoldOut" on about a third of the rows), and a test table of fresh rows without label
// columns, on which a learned classifier can be tried.
//
// The rows come from our own fixed generator, so every build writes the same file.
//
//     make_demo_db <output.db>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/db/database.h"
#include "platform/vb/numbered_error.h"

namespace {

// splitmix64: small, fast, and the same on every machine.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    double Uniform() { return double(Next() >> 11) * 0x1.0p-53; }
    int Pick(const std::vector<double>& weights) {
        double r = Uniform();
        for (size_t i = 0; i + 1 < weights.size(); ++i) {
            if (r < weights[i]) return int(i);
            r -= weights[i];
        }
        return int(weights.size()) - 1;
    }

private:
    uint64_t Next() {
        uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    uint64_t state_;
};

// One customer drawn from the network
//   Region, Age, Internet (roots); Contract <- Age; Support <- Internet;
//   Satisfaction <- Support; Tenure <- Contract; Churn <- Contract, Satisfaction;
//   Payment <- Churn; Complaints <- Churn, Support.
struct Customer {
    std::string churn, contract, support, satisfaction, payment, internet, region, age, complaints;
    int tenure = 0;  // months
    std::string tenureLabel;
};

const std::vector<std::string> kRegion{"NORTH", "SOUTH", "EAST", "WEST"};
const std::vector<std::string> kAge{"YOUNG", "MIDDLE", "SENIOR"};
const std::vector<std::string> kInternet{"FIBER", "DSL", "NONE"};
const std::vector<std::string> kContract{"MONTHLY", "YEARLY", "TWOYEAR"};
const std::vector<std::string> kLevel{"LOW", "MEDIUM", "HIGH"};
const std::vector<std::string> kPayment{"CARD", "BANK", "CASH"};
const std::vector<std::string> kYesNo{"YES", "NO"};

// Tenure intervals and their labels as trune writes them (cut points 12 and 36).
struct Interval {
    int from, to;
    const char* label;
};
const Interval kTenure[3] = {{1, 11, "<12"}, {12, 35, ">12<36"}, {36, 72, ">36"}};

Customer Draw(Random& rnd) {
    Customer c;
    c.region = kRegion[size_t(rnd.Pick({0.3, 0.25, 0.25, 0.2}))];
    const int age = rnd.Pick({0.35, 0.4, 0.25});
    c.age = kAge[size_t(age)];
    const int internet = rnd.Pick({0.45, 0.35, 0.2});
    c.internet = kInternet[size_t(internet)];
    static const std::vector<std::vector<double>> contractByAge{{0.7, 0.2, 0.1}, {0.4, 0.35, 0.25}, {0.2, 0.3, 0.5}};
    const int contract = rnd.Pick(contractByAge[size_t(age)]);
    c.contract = kContract[size_t(contract)];
    static const std::vector<std::vector<double>> supportByInternet{{0.2, 0.3, 0.5}, {0.35, 0.4, 0.25}, {0.7, 0.2, 0.1}};
    const int support = rnd.Pick(supportByInternet[size_t(internet)]);
    c.support = kLevel[size_t(support)];
    static const std::vector<std::vector<double>> satisfactionBySupport{{0.15, 0.3, 0.55}, {0.3, 0.4, 0.3}, {0.6, 0.3, 0.1}};
    const int satisfaction = rnd.Pick(satisfactionBySupport[size_t(support)]);
    c.satisfaction = kLevel[size_t(satisfaction)];
    static const std::vector<std::vector<double>> tenureByContract{{0.6, 0.3, 0.1}, {0.2, 0.5, 0.3}, {0.05, 0.35, 0.6}};
    const Interval& t = kTenure[rnd.Pick(tenureByContract[size_t(contract)])];
    c.tenure = t.from + int(rnd.Uniform() * (t.to - t.from + 1));
    c.tenureLabel = t.label;
    // Churn: monthly contracts and low satisfaction leave most.
    static const double churnYes[3][3] = {{0.75, 0.5, 0.25}, {0.35, 0.2, 0.08}, {0.15, 0.07, 0.03}};
    const int churn = rnd.Uniform() < churnYes[contract][satisfaction] ? 0 : 1;
    c.churn = kYesNo[size_t(churn)];
    static const std::vector<std::vector<double>> paymentByChurn{{0.25, 0.2, 0.55}, {0.45, 0.4, 0.15}};
    c.payment = kPayment[size_t(rnd.Pick(paymentByChurn[size_t(churn)]))];
    const double complain = (churn == 0 ? 0.6 : 0.15) + (support == 2 ? 0.2 : 0.0);
    c.complaints = kYesNo[rnd.Uniform() < complain ? 0 : 1];
    return c;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

void WriteTable(db::Database& db, const std::string& table, int rows, uint64_t seed, bool conditioned) {
    std::string create = "CREATE TABLE " + table +
                         " (Churn TEXT(50), Contract TEXT(50), Tenure LONG, ";
    if (conditioned) create += "Tenure_d TEXT(50), ";
    create += "Support TEXT(50), Satisfaction TEXT(50), Payment TEXT(50), Internet TEXT(50), "
              "Region TEXT(50), Age TEXT(50), Complaints TEXT(50)";
    if (conditioned) create += ", ZORV_HoldOut YESNO";
    db.Execute(create + ")");
    Random rnd(seed);
    Random holdOut(seed ^ 0x5eedULL);
    for (int r = 0; r < rows; ++r) {
        const Customer c = Draw(rnd);
        std::string sql = "INSERT INTO " + table + " VALUES (" + Quoted(c.churn) + ", " +
                          Quoted(c.contract) + ", " + std::to_string(c.tenure) + ", ";
        if (conditioned) sql += Quoted(c.tenureLabel) + ", ";
        sql += Quoted(c.support) + ", " + Quoted(c.satisfaction) + ", " + Quoted(c.payment) + ", " +
               Quoted(c.internet) + ", " + Quoted(c.region) + ", " + Quoted(c.age) + ", " +
               Quoted(c.complaints);
        if (conditioned) sql += holdOut.Uniform() < 1.0 / 3.0 ? ", True" : ", False";
        db.Execute(sql + ")");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_db <output.db>\n");
        return 2;
    }
    const std::filesystem::path target = argv[1];
    // Written beside the target and renamed over it, so an interrupted build never leaves a
    // half-written demo database.
    const std::filesystem::path temp = target.string() + ".tmp";
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    try {
        auto db = db::DBEngine::CreateDatabase(temp.string());
        WriteTable(*db, "Customers", 1500, 20261210, true);
        WriteTable(*db, "CustomersTest", 500, 77, false);
        db->Close();
    } catch (const vb::NumberedError& e) {
        std::fprintf(stderr, "make_demo_db: %s (%d)\n", e.description().c_str(), int(e.number()));
        return 1;
    }
    std::filesystem::rename(temp, target, ec);
    if (ec) {
        std::fprintf(stderr, "make_demo_db: %s\n", ec.message().c_str());
        return 1;
    }
    return 0;
}
