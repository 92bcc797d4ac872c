// The counting path of one database: its stores, loaded on the first count query and dropped
// by any write, and the counters over them.
#include "platform/db/column_store_internal.h"

namespace db::sqlite {

namespace {

// The pager's count of changes to the file, by this connection or any other; -1 when the file
// keeps none.
int64_t FileVersion(Connection& conn) {
    unsigned int v = 0;
    if (sqlite3_file_control(conn.handle(), "main", SQLITE_FCNTL_DATA_VERSION, &v) != SQLITE_OK) return -1;
    return int64_t(v);
}

// A counter over one store: it declines for good once the path was invalidated, the
// connection wrote or the file changed since it was made.
class StoreCounter final : public GroupCounter {
public:
    StoreCounter(const std::shared_ptr<Connection>& conn, std::shared_ptr<ColumnStore> store,
                 std::unique_ptr<ColumnStore::Prepared> prepared, std::shared_ptr<uint64_t> generation,
                 std::shared_ptr<CountingStats> stats)
        : conn_(conn), store_(std::move(store)), prepared_(std::move(prepared)), generation_(std::move(generation)),
          stats_(std::move(stats)),
          madeAt_(*generation_), changes_(sqlite3_total_changes64(conn->handle())), version_(FileVersion(*conn)) {}

    const std::vector<Value>* Values(int f) const override { return store_->Shown(*prepared_, f); }

    Outcome Count(const std::vector<int>& fields, int64_t maxGroups, GroupCountResult& out) override {
        CountSink sink(out);
        return Counted(fields, maxGroups, sink);
    }
    Outcome CountIndexed(const std::vector<int>& fields, const std::vector<std::span<const int32_t>>& indexes,
                         int64_t maxGroups, std::vector<int32_t>& codes, std::vector<double>& counts) override {
        if (indexes.size() != fields.size()) return Outcome::Declined;
        CountSink sink(indexes, codes, counts);
        return Counted(fields, maxGroups, sink);
    }
    Outcome CountKeys(const std::vector<int>& fields, int64_t maxGroups, std::vector<uint64_t>& keys,
                      std::vector<double>& counts) override {
        if (Stale()) return Outcome::Stale;
        const Outcome o = store_->CountKeys(*prepared_, fields, maxGroups, keys, counts);
        if (o == Outcome::Counted) ++stats_->counted;
        return o;
    }
    bool Rows(int f, std::vector<uint32_t>& codes, const std::vector<Value>*& cells) override {
        return !Stale() && store_->Rows(*prepared_, f, codes, cells);
    }
    std::unique_ptr<GroupCounter> Twin() override;

private:
    // Whether the table changed since the counter was made; once it has, it stays so.
    bool Stale() {
        if (!stale_) {
            const std::shared_ptr<Connection> conn = conn_.lock();
            stale_ = !conn || *generation_ != madeAt_ || sqlite3_total_changes64(conn->handle()) != changes_ ||
                     FileVersion(*conn) != version_;
        }
        return stale_;
    }
    Outcome Counted(const std::vector<int>& fields, int64_t maxGroups, CountSink& sink) {
        if (Stale()) return Outcome::Stale;
        const Outcome o = store_->Count(*prepared_, fields, maxGroups, sink);
        if (o == Outcome::Counted) ++stats_->counted;
        return o;
    }

    std::weak_ptr<Connection> conn_;
    std::shared_ptr<ColumnStore> store_;
    std::unique_ptr<ColumnStore::Prepared> prepared_;
    std::shared_ptr<uint64_t> generation_;
    std::shared_ptr<CountingStats> stats_;
    uint64_t madeAt_;
    int64_t changes_;
    int64_t version_;
    bool stale_ = false;
};

// A StoreCounter's twin: the same prepared counts over a twin of its store. It checks nothing
// and writes nothing shared while it counts; its counts go into the path's figures when it is
// destroyed.
class TwinCounter final : public GroupCounter {
public:
    TwinCounter(std::unique_ptr<ColumnStore> store, const ColumnStore::Prepared& prepared,
                std::shared_ptr<CountingStats> stats)
        : store_(std::move(store)), prepared_(prepared), stats_(std::move(stats)) {}
    ~TwinCounter() override { stats_->counted += counted_; }

    const std::vector<Value>* Values(int f) const override { return store_->Shown(prepared_, f); }
    Outcome Count(const std::vector<int>& fields, int64_t maxGroups, GroupCountResult& out) override {
        CountSink sink(out);
        return Tallied(store_->Count(prepared_, fields, maxGroups, sink));
    }
    Outcome CountIndexed(const std::vector<int>& fields, const std::vector<std::span<const int32_t>>& indexes,
                         int64_t maxGroups, std::vector<int32_t>& codes, std::vector<double>& counts) override {
        if (indexes.size() != fields.size()) return Outcome::Declined;
        CountSink sink(indexes, codes, counts);
        return Tallied(store_->Count(prepared_, fields, maxGroups, sink));
    }
    Outcome CountKeys(const std::vector<int>& fields, int64_t maxGroups, std::vector<uint64_t>& keys,
                      std::vector<double>& counts) override {
        return Tallied(store_->CountKeys(prepared_, fields, maxGroups, keys, counts));
    }

private:
    Outcome Tallied(Outcome o) {
        if (o == Outcome::Counted) ++counted_;
        return o;
    }
    std::unique_ptr<ColumnStore> store_;
    ColumnStore::Prepared prepared_;
    std::shared_ptr<CountingStats> stats_;
    int64_t counted_ = 0;
};

std::unique_ptr<GroupCounter> StoreCounter::Twin() {
    if (Stale()) return nullptr;
    return std::make_unique<TwinCounter>(store_->Twin(), *prepared_, stats_);
}

}  // namespace

// ---- the path of one database ----

CountingPath::CountingPath() : enabled_(DefaultEnabled()) {}
CountingPath::~CountingPath() = default;

bool CountingPath::DefaultEnabled() {
    const char* v = std::getenv("BNSUITE_COUNTING");
    return !(v && vb::UCase(v) == "SQLITE");
}

void CountingPath::SetEnabled(bool on) {
    enabled_ = on;
    if (!on) Invalidate();
}

void CountingPath::Invalidate() {
    ++*generation_;
    stores_.clear();
    loadFailure_.clear();
    totalChanges_ = dataVersion_ = -1;
}

std::optional<std::vector<Value>> CountingPath::FallBack(std::string why) {
    ++stats_->fellBack;
    stats_->lastFallback = std::move(why);
    return std::nullopt;
}

std::optional<std::vector<Value>> CountingPath::Answer(Connection& conn, const sql::BoundSelect& q, bool rowidTable) {
    if (!enabled_) return std::nullopt;
    if (!rowidTable) return FallBack("not a rowid table");
    std::string why;
    const std::shared_ptr<ColumnStore> store = Store(conn, q.table, why);
    if (!store) return FallBack(why);
    std::optional<std::vector<Value>> cells = store->Answer(q, why);
    if (!cells) return FallBack(why);
    ++stats_->answered;
    return cells;
}

std::unique_ptr<GroupCounter> CountingPath::Counter(const std::shared_ptr<Connection>& conn,
                                                    const sql::BoundSelect& q, bool rowidTable) {
    if (!enabled_ || !rowidTable || !conn) return nullptr;
    std::string why;
    std::shared_ptr<ColumnStore> store = Store(*conn, q.table, why);
    if (!store) return nullptr;
    std::unique_ptr<ColumnStore::Prepared> prepared = store->Prepare(q, why);
    if (!prepared) return nullptr;
    return std::make_unique<StoreCounter>(conn, std::move(store), std::move(prepared), generation_, stats_);
}

std::shared_ptr<ColumnStore> CountingPath::Store(Connection& conn, const sql::TableInfo& table, std::string& why) {
    // Any change since the stores were read drops them: this connection's own (recordset
    // updates included) moves its change counter, another connection's moves data_version.
    int64_t dataVersion = 0;
    {
        Statement s(conn, "PRAGMA data_version");
        if (s.Step()) dataVersion = sqlite3_column_int64(s.get(), 0);
    }
    const int64_t totalChanges = sqlite3_total_changes64(conn.handle());
    if (dataVersion != dataVersion_ || totalChanges != totalChanges_) {
        Invalidate();
        dataVersion_ = dataVersion;
        totalChanges_ = totalChanges;
    }

    const std::string key = vb::UCase(table.name);
    auto it = stores_.find(key);
    if (it == stores_.end()) {
        std::string failure;
        std::shared_ptr<ColumnStore> store = ColumnStore::Load(conn, table, failure);
        ++stats_->loads;
        it = stores_.emplace(key, std::move(store)).first;
        if (!it->second) loadFailure_[key] = failure;
    }
    if (!it->second) why = "the table could not be coded: " + loadFailure_[key];
    return it->second;
}

}  // namespace db::sqlite
