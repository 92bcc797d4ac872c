// The pairwise pass that readies a network layer for its structure search: the mutual
// information of every pair still marked not computed, 0 for fields over the value limit, the
// layer's row filter (class value, hold-out rows), and for a single net with unrelated features
// an ordering of the fields by their relevance to the class field. Reads FF, MaxVlus, FirstFld,
// NetIdx, HoldOutSearch, bord, tmpNoOrd; writes MICache, WhereClause and ReachInit.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "core/count_arithmetic.h"
#include "core/learner.h"
#include "core/sql_text.h"
#include "platform/db/sql_names.h"
#include "platform/db/value_text.h"
#include "platform/vb/rnd.h"

namespace core {

namespace {

// The literal that compares equal to a class value in a field of this type. The field's type
// decides the form, since a back end may hand a value back in another kind than the column's
// (a text column holding digits read as a number): a text field always gets a quoted text.
std::string ClassLiteral(const db::Value& v, int16_t type) {
    switch (type) {
        case db::dbText:
        case db::dbMemo:
            return SqlTextLiteral(v.kind() == db::Value::Kind::Text ? v.AsText()
                                                                    : db::ValueText(v));
        case db::dbBoolean:
            if (v.IsNumeric()) return v.ToDouble() != 0 ? "True" : "False";
            return SqlLiteral(v);
        default:
            return SqlLiteral(v);
    }
}

// Worker threads of the pass: BNSUITE_THREADS when it is set to a number (1: none), else the
// machine's cores, at most 8.
int PassThreads() {
    if (const char* v = std::getenv("BNSUITE_THREADS")) {
        const int n = std::atoi(v);
        if (n >= 1) return std::min(n, 64);
    }
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

// Below a few hundred pairs the pass is over before threads would have started.
constexpr Long kThreadedPairs = 300;
// The pass plans at most this many queries ahead, and at most about kChunkCells value counts
// of their results, so that its memory stays small and a cancel leaves little planned work.
constexpr size_t kChunkQueries = 2048;
constexpr size_t kChunkCells = size_t(1) << 20;

}  // namespace

bool Learner::ThreadedPairs(Single step, int threads, Integer& i, Integer& j) {
    const Integer n = numfld;
    const Integer layer = NetIdx;
    // Cells out of range raise inside GetMI, where the classifier swallows them: left to it.
    if (!NetTotal.InBounds(1, layer) || !FF.InBounds(1, n) || !MICache.InBounds(1, layer) ||
        !MICache.InBounds(2, n) || !MICache.InBounds(3, n) || !MIWork.InBounds(1, layer) ||
        !MIWork.InBounds(2, n) || !MIWork.InBounds(3, n) || !VluCnt.InBounds(1, layer) ||
        !VluCnt.InBounds(2, n) || !VluCnt.InBounds(3, MaxVlus) || !QryFld.InBounds(1, 5) ||
        !CondSet.InBounds(1, 3))
        return false;
    const Long total = NetTotal(layer);

    // One count query as GetMI sends it at pair (i, j), and what a worker made of it.
    struct Query {
        Integer i = 0, j = 0;
        uint32_t rndBefore = 0;  // the generator before its draws
        bool drew = false;       // GetMI sets CondSet(1..3) to drawn
        Integer drawn[3] = {};
        Integer m = 0;           // its fields QryFld(1..m), the pair last, and their values
        Integer fld[5] = {};
        Integer ff[5] = {};
        bool direct = false;     // false: GetMI itself takes over from this query on
        DirectQuery count;
        std::vector<std::pair<Integer, Integer>> pairs;  // positions CalcMI computes, in its order
        std::vector<Single> mi;                          // per pair
        std::vector<Long> margins;                       // per pair, VluCnt of x then of y
    };
    enum : int { kPending, kDone, kFailed };

    // Which cells of MICache hold a value, as GetMI and CalcMI test them, kept up while the
    // queries are planned: the queries depend on these marks and the draws alone, never on a
    // value, so the plan is the sequence of queries GetMI would send.
    const size_t side = size_t(n) + 1;
    std::vector<uint8_t> known(side * side, 0);
    for (Integer x = 1; x <= n; ++x)
        for (Integer y = 1; y <= n; ++y) known[size_t(x) * side + size_t(y)] = MICache(layer, x, y) != settings_.notComputed;

    std::vector<Query> plan(kChunkQueries);
    std::unique_ptr<std::atomic<int>[]> state(new std::atomic<int>[kChunkQueries]);
    auto next = [n](Integer& a, Integer& b) {
        if (++b > n) {
            ++a;
            b = Integer(a + 1);
        }
    };
    // A worker's query: counted by its twin of the counter, then each pair's table and MI as
    // CalcMI makes them. Anything that fails or raises leaves the query to GetMI, which
    // meets the same error where the pair-by-pair pass would.
    auto compute = [total](Query& q, db::GroupCounter& twin, CodedBlock& block, std::vector<Long>& flat) {
        if (twin.CountIndexed(q.count.fields, q.count.tables, q.count.maxGroups, block.code, block.count) !=
            db::GroupCounter::Outcome::Counted)
            return false;
        block.rows = int32_t(block.count.size());
        block.width = q.m;
        const bool plain = counts::Plain(block, q.m, [&](int col) { return int32_t(q.ff[col - 1]); });
        for (const auto& [u, v] : q.pairs) {
            const Integer fx = q.ff[u - 1], fy = q.ff[v - 1];
            PairCounts(block, u, v, plain, fx, fy, flat);
            const size_t stride = size_t(fy + 1);
            for (Integer x = 1; x <= fx; ++x) q.margins.push_back(flat[size_t(x) * stride]);
            for (Integer y = 1; y <= fy; ++y) q.margins.push_back(flat[size_t(y)]);
            q.mi.push_back(PairMI(flat, fx, fy, total));
        }
        return true;
    };
    // What GetMI and the pass leave of a counted query.
    auto apply = [&](const Query& q) {
        if (q.drew)
            for (Integer t = 1; t <= 3; ++t) CondSet(t) = q.drawn[t - 1];
        for (Integer t = 1; t <= q.m; ++t) QryFld(t) = q.fld[t - 1];
        size_t at = 0;
        for (size_t p = 0; p < q.pairs.size(); ++p) {
            const auto [u, v] = q.pairs[p];
            const Integer x = q.fld[u - 1], y = q.fld[v - 1];
            for (Integer c = 1; c <= q.ff[u - 1]; ++c) VluCnt(layer, x, c) = q.margins[at++];
            for (Integer c = 1; c <= q.ff[v - 1]; ++c) VluCnt(layer, y, c) = q.margins[at++];
            const Single mi = q.mi[p];
            MICache(layer, x, y) = MICache(layer, y, x) = mi;
            MIWork(layer, x, y) = MIWork(layer, y, x) = mi;
        }
        const Single v = MICache(layer, q.i, q.j);
        MICache(layer, q.i, q.j) = v;
        if (settings_.pairPassBothCells) MICache(layer, q.j, q.i) = v;
    };

    while (i < n) {
        // Plan a chunk: the pairs from (i, j) to (pi, pj), the queries among them.
        size_t used = 0, cells = 0;
        Integer pi = i, pj = j;
        db::GroupCounter* counter = nullptr;
        bool handOver = false;
        while (pi < n && used < kChunkQueries && cells < kChunkCells && !handOver) {
            if (!known[size_t(pi) * side + size_t(pj)]) {
                Query& q = plan[used++];
                q.i = pi;
                q.j = pj;
                q.rndBefore = vb::RndState();
                const Integer k = Widening(pi, pj, q.drawn, q.drew);
                q.m = Integer(k + 2);
                for (Integer t = 0; t < k; ++t) q.fld[t] = q.drawn[t];
                q.fld[k] = pi;
                q.fld[k + 1] = pj;
                try {
                    q.direct = DirectCount(std::vector<Integer>(q.fld, q.fld + k), pi, pj, q.count) &&
                               (!counter || q.count.counter == counter);
                } catch (const std::exception&) {
                    q.direct = false;  // GetMI meets the error again and deals with it
                }
                handOver = !q.direct;
                if (q.direct) {
                    counter = q.count.counter;
                    q.pairs.clear();
                    q.mi.clear();
                    q.margins.clear();
                    for (Integer t = 0; t < q.m; ++t) q.ff[t] = FF(q.fld[t]);
                    for (Integer u = 1; u <= k + 1; ++u)
                        for (Integer v = Integer(u + 1); v <= k + 2; ++v) {
                            const size_t x = size_t(q.fld[u - 1]), y = size_t(q.fld[v - 1]);
                            if (known[x * side + y]) continue;
                            known[x * side + y] = known[y * side + x] = 1;
                            q.pairs.emplace_back(u, v);
                            cells += size_t(q.ff[u - 1] + q.ff[v - 1]);
                        }
                }
            }
            next(pi, pj);
        }
        const uint32_t rndEnd = vb::RndState();
        auto rndAt = [&](size_t q) { return q < used ? plan[q].rndBefore : rndEnd; };

        // Twins of the counter count the chunk, each query into its own slot; the threads are
        // joined whichever way this chunk ends.
        std::vector<std::unique_ptr<db::GroupCounter>> twins;
        if (counter)
            for (int t = 0; t < threads && size_t(t) < used; ++t) {
                std::unique_ptr<db::GroupCounter> twin = counter->Twin();
                if (!twin) break;
                twins.push_back(std::move(twin));
            }
        if (counter && twins.empty()) {
            // The counter cannot share its counts (or the table changed): GetMI goes on.
            vb::SetRndState(rndAt(0));
            return false;
        }
        for (size_t q = 0; q < used; ++q) state[q].store(kPending, std::memory_order_relaxed);
        std::atomic<size_t> taken{0};
        std::atomic<bool> halt{false};
        struct Crew {
            std::atomic<bool>& halt;
            std::vector<std::thread> threads;
            void Stop() {
                halt.store(true, std::memory_order_relaxed);
                for (std::thread& t : threads)
                    if (t.joinable()) t.join();
            }
            ~Crew() { Stop(); }
        } crew{halt, {}};
        auto worker = [&](db::GroupCounter* counting) {
            CodedBlock block;
            std::vector<Long> flat;
            while (!halt.load(std::memory_order_relaxed)) {
                const size_t q = taken.fetch_add(1, std::memory_order_relaxed);
                if (q >= used) return;
                int result = kFailed;
                if (plan[q].direct) {
                    try {
                        if (compute(plan[q], *counting, block, flat)) result = kDone;
                    } catch (...) {
                        // Whatever it was, GetMI raises it again in the pair-by-pair pass.
                    }
                }
                state[q].store(result, std::memory_order_release);
                state[q].notify_one();
            }
        };
        try {
            for (std::unique_ptr<db::GroupCounter>& twin : twins) crew.threads.emplace_back(worker, twin.get());
        } catch (const std::system_error&) {
            // Fewer threads than asked for still work; none leaves the pass to GetMI.
            if (crew.threads.empty()) {
                vb::SetRndState(rndAt(0));
                return false;
            }
        }

        // The chunk's pairs in order on this thread: each query's results as they arrive, then
        // the pair's event.
        size_t q = 0;
        try {
            while (i != pi || j != pj) {
                if (q < used && plan[q].i == i && plan[q].j == j) {
                    int st;
                    while ((st = state[q].load(std::memory_order_acquire)) == kPending)
                        state[q].wait(kPending, std::memory_order_acquire);
                    if (st == kFailed) {
                        crew.Stop();
                        vb::SetRndState(plan[q].rndBefore);
                        return false;
                    }
                    apply(plan[q]);
                    ++q;
                }
                if (Progress(step)) {
                    crew.Stop();
                    vb::SetRndState(rndAt(q));
                    return true;
                }
                next(i, j);
            }
        } catch (...) {
            crew.Stop();
            vb::SetRndState(rndAt(q));
            throw;
        }
    }
    return false;
}

void Learner::InitStruBN() {
    const Integer n = numfld;
    if (n < 2) return;
    // The budget is spread over the n (n - 1) / 2 pairs; a per-class network gets its share of
    // the multi-net's stage.
    double step = 2 * settings_.pairPassBudget / n / (n - 1);
    if (FirstFld == 1)
        StartStage("Init structure learning (BN)");
    else
        step /= FF(1);
    const Single s = Single(step);

    if (settings_.holdOutFilter && HoldOutSearch)
        WhereClause += (WhereClause.empty() ? " WHERE " : " And ") + db::HoldOutCondition(false) + " ";

    // A field with more values than the limit has no labels to code its cells by: it is never
    // linked.
    for (Integer i = FirstFld; i <= n; ++i) {
        if (FF(i) <= MaxVlus) continue;
        for (Integer j = 1; j <= n; ++j) {
            MICache(NetIdx, i, j) = 0;
            MICache(NetIdx, j, i) = 0;
        }
    }

    Integer i = FirstFld, j = Integer(FirstFld + 1);
    const Long pairs = Long(n - FirstFld + 1) * Long(n - FirstFld) / 2;
    if (pairsOnThreads && pairs >= kThreadedPairs) {
        const int threads = PassThreads();
        if (threads > 1 && ThreadedPairs(s, threads, i, j)) return;
    }
    // Pair by pair from (i, j): the whole pass, or what the threads left.
    for (; i < n; ++i, j = Integer(i + 1)) {
        for (; j <= n; ++j) {
            if (MICache(NetIdx, i, j) == settings_.notComputed) {
                const Single v = GetMI(i, j);
                MICache(NetIdx, i, j) = v;
                if (settings_.pairPassBothCells) MICache(NetIdx, j, i) = v;
            }
            // Every pair counts, computed or found in the cache.
            if (Progress(s)) return;
        }
    }

    // Unrelated features: the more a field tells about the class, the earlier it comes, so the
    // search orients and separates as if the most relevant fields were the causes. Orderings
    // already in ReachInit (domain knowledge, earlier pairs) win over this one.
    if (FirstFld == 1 && !bord && tmpNoOrd) {
        for (Integer i = 2; i < n; ++i) {
            for (Integer j = Integer(i + 1); j <= n; ++j) {
                const Single a = MICache(0, 1, i), b = MICache(0, 1, j);
                if (a > b)
                    UpdateReachInit(i, j);
                else if (a < b)
                    UpdateReachInit(j, i);
            }
        }
    }
}

std::vector<db::Value> Learner::ClassValues() {
    const Integer classes = FF(1);
    const vb::Array<db::Value> block =
        QueryBlock("select distinct " + FieldNames(1) + " from " + TableName, Long(classes) + 1);
    std::vector<db::Value> rows;
    if (block.dims() == 2)
        for (int32_t r = block.LBound(2); r <= block.UBound(2); ++r) rows.push_back(block(0, r));
    // Match by label rather than by position, so the values line up with VluLbl(1, k) however
    // the labels were obtained (the set-up's own query or a learning log).
    std::vector<db::Value> values;
    for (Integer k = 1; k <= classes; ++k) {
        const std::string& label = VluLbl(1, k);
        auto it = std::find_if(rows.begin(), rows.end(), [&](const db::Value& v) {
            return !v.IsNull() && db::LabelText(v) == label;
        });
        if (it == rows.end())
            throw db::Error(db::errnum::kItemNotFound, "The class value " + label +
                                                           " is no longer in the table " +
                                                           TableName + ".");
        values.push_back(*it);
    }
    return values;
}

std::string Learner::ClassFilter(const std::vector<db::Value>& values, Integer k) {
    const db::TableDef def = Db->TableDefs(db::BareSqlName(TableName));
    const int16_t type = def.FieldByName(db::BareSqlName(FieldNames(1))).Type;
    return " WHERE " + FieldNames(1) + " = " + ClassLiteral(values.at(size_t(k - 1)), type);
}

void Learner::InitStruMN() {
    StartStage("Init structure learning (MN)");
    const std::vector<db::Value> values = ClassValues();
    for (Integer k = 1; k <= FF(1); ++k) {
        NetIdx = k;
        WhereClause = ClassFilter(values, k);
        InitStruBN();  // adds the hold-out condition while the driver searches
        if (Cancel) return;
    }
}

}  // namespace core
