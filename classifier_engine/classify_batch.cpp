// Classification of many rows: ClsfyBatch runs the classifier over a test table (counters,
// confusion matrix, the classification result file, lift and ROC), and ClsfyHoldOutBN and
// ClsfyHoldOutMN score a candidate of the learning driver's search on the training table's
// hold-out rows. Each row's cells become value indexes through GetVluIdx and go to the
// inference of the model kind. Writes CaseValues, FieldPos, the counters, the per-case arrays
// (ActualClass, CasePosterior, CaseOrder), LiftIndex and ROCIndex.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "classifier_engine/errors.h"
#include "platform/db/sql_names.h"
#include "platform/vb/strings.h"
#include "platform/vb/text_file.h"

namespace zorvapi {

namespace {

// The upper-case name by which a stored field name is looked for among a table's columns.
std::string ColumnKey(const std::string& storedName) {
    return vb::UCase(db::BareSqlName(storedName));
}

// The column names of `select * from table`, in column order. A recordset without rows has no
// current row to read them from; its columns are then the table's own.
std::vector<std::string> ColumnNames(const db::Recordset& rs, db::Database& db,
                                     const std::string& table) {
    std::vector<std::string> names;
    if (!rs.Eof()) {
        for (int k = 0; k < rs.FieldCount(); ++k) names.push_back(rs.Fields(k).Name);
    } else {
        for (const db::Field& f : db.TableDefs(table).Fields) names.push_back(f.Name);
    }
    return names;
}

// Position of the first column whose trimmed, upper-cased name is `key`; -1 for none.
int FindColumn(const std::vector<std::string>& names, const std::string& key) {
    for (size_t k = 0; k < names.size(); ++k)
        if (vb::UCase(vb::Trim(names[k])) == key) return int(k);
    return -1;
}

// A cell of the row in the result file's list style.
void WriteCell(vb::TextWriter& out, const db::Value& v) {
    switch (v.kind()) {
        case db::Value::Kind::Null: out.Write(vb::Null); break;
        case db::Value::Kind::Boolean: out.Write(v.AsBool()); break;
        case db::Value::Kind::Integer: out.Write(v.AsInteger()); break;
        case db::Value::Kind::Long: out.Write(v.AsLong()); break;
        case db::Value::Kind::Single: out.Write(v.AsSingle()); break;
        case db::Value::Kind::Double: out.Write(v.AsDoubleValue()); break;
        case db::Value::Kind::Date: out.Write(vb::DateItem{v.AsDate().serial}); break;
        case db::Value::Kind::Text: out.Write(v.AsText()); break;
    }
}

// The number of rows of a recordset just opened, leaving it on its first row; 0 for an empty
// one, which has no last row to move to.
Long RecordsetRows(db::Recordset& rs) {
    if (rs.Eof()) return 0;
    rs.MoveLast();
    const Long n = rs.RecordCount();
    rs.MoveFirst();
    return n;
}

}  // namespace

// The class scores of the case just inferred, normalised to sum 1 (left as they are when every
// score is 0).
void DataEngine::NormalisedPosterior(std::vector<Single>& out) const {
    const Integer classes = FF(1);
    Single S = 0;
    for (Integer c = 1; c <= classes; ++c) S += Posterior(c);
    if (S == 0) S = 1;
    out.assign(size_t(classes), 0.0f);
    for (Integer c = 1; c <= classes; ++c) out[size_t(c - 1)] = Posterior(c) / S;
}

// The model's value indexes of the current row for the fields whose column was found.
void DataEngine::ReadCaseValues(const db::Recordset& rs) {
    for (Integer j = 2; j <= numfld; ++j) {
        if (FieldPos(j) < 0) continue;
        db::Value cell = rs.Fields(FieldPos(j)).value;  // a copy: GetVluIdx turns Null into "?"
        CaseValues(j) = GetVluIdx(j, cell);
    }
}

Single DataEngine::ClsfyBatch(std::shared_ptr<db::Database>& TestDB, std::string& TestTB,
                              std::string& TmpCls, vb::Array<Long>& Matrix, std::string& FileNM) {
    const Integer classes = FF(1);
    CaseValues.ReDim(vb::To(numfld));
    FieldPos.ReDim(vb::To(numfld));
    Matrix.ReDim(vb::To(classes), vb::To(classes));
    Cancel = false;
    std::optional<vb::TextWriter> out;
    try {
        // The ROC files are written after the whole batch: a folder they cannot go to is
        // reported before it.
        if (!TmpCls.empty()) CheckRocFilesWritable();
        const std::string table = db::BareSqlName(TestTB);
        std::unique_ptr<db::Recordset> rs = TestDB->OpenRecordset(
            "select * from " + db::BracketedSqlName(table, db::NameKind::Table), db::dbOpenSnapshot);
        Percent2 = 0;
        const std::vector<std::string> columns = ColumnNames(*rs, *TestDB, table);
        const Long N = RecordsetRows(*rs);
        const Single step = N > 0 ? Single(10000.0 / N) : Single(0);
        const bool known = !TmpCls.empty();
        if (known) {
            ActualClass.ReDim(vb::To(N));
            CasePosterior.ReDim(vb::To(N), vb::To(classes));
            CaseOrder.ReDim(vb::To(N));
            // Lift and ROC describe this batch or nothing: an earlier batch's values must not
            // survive a batch whose rows did not all get a class.
            LiftIndex.ReDim(vb::To(classes));
            ROCIndex.ReDim(vb::To(classes), vb::To(classes));
        }

        // The classifier's features among the test columns. A classifier learned on the
        // interval-label columns ("AGE_d") reads the raw column ("AGE") of a test table; the
        // label column itself is taken when the raw one is not there.
        for (Integer j = 2; j <= numfld; ++j) {
            FieldPos(j) = -1;
            if (Feature(j) != 1) continue;
            const std::string stored = ColumnKey(FieldNames(j));
            std::string wanted = stored;
            if (wanted.size() >= 2 && wanted.compare(wanted.size() - 2, 2, "_D") == 0)
                wanted.resize(wanted.size() - 2);
            int found = FindColumn(columns, wanted);
            if (found < 0) {
                for (size_t k = 0; k < columns.size(); ++k)
                    if (vb::UCase(vb::Trim(columns[k])) == stored) found = int(k);
            }
            if (found < 0) throw EngineError(kTestFieldMissing);
            FieldPos(j) = Integer(found);
        }
        const std::string classColumn = db::BareSqlName(TmpCls);

        if (!FileNM.empty()) {
            out.emplace(FileNM);
            for (const std::string& name : columns) out->Write(vb::UCase(name));
            out->Write("ZORV_OUTPUT");
            for (Integer c = 1; c <= classes; ++c) out->Write("Prob. " + VluLbl(1, c));
            out->EndLine();
        }

        Long cases = 0, correct = 0, unclassified = 0;
        int counter = 0;
        std::vector<Single> probs;
        while (!rs->Eof()) {
            const Long n = ++cases;
            ReadCaseValues(*rs);
            const Integer p = IsMultiNet_ ? InferenceMN(CaseValues) : InferenceBN(CaseValues);
            if (p == 0) ++unclassified;
            NormalisedPosterior(probs);
            if (known) {
                db::Value cell = rs->Fields(classColumn).value;
                const Integer a = GetVluIdx(1, cell);
                // A row without a class and a class that matches no label are both unknown:
                // they never agree.
                if (p > 0 && a == p) ++correct;
                Matrix(a, p) += 1;
                ActualClass(n) = a;
                for (Integer c = 1; c <= classes; ++c) CasePosterior(n, c) = probs[size_t(c - 1)];
            }
            if (out) {
                for (int k = 0; k < rs->FieldCount(); ++k) WriteCell(*out, rs->Fields(k).value);
                if (classes < 1) {
                    out->WriteLine(VluLbl(1, p));
                } else {
                    out->Write(VluLbl(1, p));
                    for (Integer c = 1; c < classes; ++c) out->Write(probs[size_t(c - 1)]);
                    out->WriteLine(probs[size_t(classes - 1)]);
                }
            }
            rs->MoveNext();
            if (++counter == 100) {
                counter = 0;
                Percent2 += step;
                if (RaisePercentDone()) {
                    if (out) out->Close();
                    return 0;
                }
            }
        }

        const Single accuracy =
            correct > 0 ? Single(double(correct) / double(cases - unclassified)) : Single(0);
        TotalCases_ = cases;
        CorrectCases_ = correct;
        ErrorCases_ = unclassified;
        rs->Close();
        if (out) out->Close();

        if (known && unclassified == 0 && cases > 0) {
            for (Integer c = 1; c <= classes; ++c) LiftIndex(c) = LiftCurve(c);
            AllROC();
        }
        return accuracy;
    } catch (...) {
        // The result file keeps the lines written so far.
        if (out) {
            try {
                out->Close();
            } catch (...) {
                // the error being raised is the one the host must see
            }
        }
        Reraise(std::current_exception());
    }
}

Single DataEngine::ClsfyHoldOut(bool multiNet) {
    const Integer classes = FF(1);
    CaseValues.ReDim(vb::To(numfld));
    FieldPos.ReDim(vb::To(numfld));
    std::unique_ptr<db::Recordset> rs =
        Db->OpenRecordset("select * from " + TableName + " where " + db::HoldOutCondition(true));
    const std::vector<std::string> columns = ColumnNames(*rs, *Db, db::BareSqlName(TableName));
    Long N = 0;
    if (tmpROC) {
        N = RecordsetRows(*rs);
        ActualClass.ReDim(vb::To(N));
        CasePosterior.ReDim(vb::To(N), vb::To(classes));
        CaseOrder.ReDim(vb::To(N));
    }
    // The fields the model reads, and always the class. The rows come from the training table,
    // so every field is there; one that is not simply has no label.
    for (Integer j = 1; j <= numfld; ++j) {
        bool read;
        if (j == 1) read = true;
        else if (!multiNet) read = Feature(j) == 1;
        else read = FF(j) >= 2 && FF(j) <= MaxVlus && (Feature(j) == 1 || !SubsetFixed);
        FieldPos(j) = read ? Integer(FindColumn(columns, ColumnKey(FieldNames(j)))) : Integer(-1);
    }

    Long cases = 0, correct = 0;
    std::vector<Single> probs;
    while (!rs->Eof()) {
        const Long n = ++cases;
        ReadCaseValues(*rs);
        Integer a = 0;
        if (FieldPos(1) >= 0) {
            db::Value cell = rs->Fields(FieldPos(1)).value;
            a = GetVluIdx(1, cell);
        }
        const Integer p = multiNet ? InferenceMN(CaseValues) : InferenceBN(CaseValues);
        if (p > 0 && a == p) ++correct;
        if (tmpROC && n <= N) {
            NormalisedPosterior(probs);
            ActualClass(n) = a;
            for (Integer c = 1; c <= classes; ++c) CasePosterior(n, c) = probs[size_t(c - 1)];
        }
        rs->MoveNext();
    }
    rs->Close();
    // No hold-out rows, no evidence for the candidate.
    if (cases == 0) return 0;
    if (tmpROC) return AllROC();
    return Single(double(correct) / double(cases));
}

Single DataEngine::ClsfyHoldOutBN() { return ClsfyHoldOut(false); }
Single DataEngine::ClsfyHoldOutMN() { return ClsfyHoldOut(true); }

}  // namespace zorvapi
