#include "store/ado_recordset.h"

#include "base/ascii.h"
#include "base/text_util.h"
#include "store/ado_connection.h"
#include "store/ado_error.h"
#include "store/automation_date.h"
#include "store/sql_text.h"

#include <cstring>

namespace {

// The field type of a column: from its declared type, or for a computed column from the
// storage class of its value in the current row.
int FieldTypeOf(sqlite3_stmt* statement, int column, bool hasRow) {
    const char* declared = sqlite3_column_decltype(statement, column);
    if (declared != nullptr) {
        const std::string_view type(declared);
        if (ContainsIgnoreAsciiCase(type, "DATE") || ContainsIgnoreAsciiCase(type, "TIME")) {
            return kAdoDate;
        }
        if (ContainsIgnoreAsciiCase(type, "INT")) {
            return kAdoInteger;
        }
        if (ContainsIgnoreAsciiCase(type, "CHAR")) {
            return kAdoVarWChar;
        }
        if (ContainsIgnoreAsciiCase(type, "TEXT") || ContainsIgnoreAsciiCase(type, "CLOB") ||
            ContainsIgnoreAsciiCase(type, "MEMO")) {
            return kAdoLongVarWChar;
        }
        if (ContainsIgnoreAsciiCase(type, "REAL") || ContainsIgnoreAsciiCase(type, "FLOA") ||
            ContainsIgnoreAsciiCase(type, "DOUB")) {
            return kAdoDouble;
        }
        return kAdoVariant;
    }
    switch (hasRow ? sqlite3_column_type(statement, column) : SQLITE_NULL) {
        case SQLITE_INTEGER:
            return kAdoBigInt;
        case SQLITE_FLOAT:
            return kAdoDouble;
        case SQLITE_TEXT:
            return kAdoVarWChar;
        case SQLITE_BLOB:
            return kAdoLongVarBinary;
        default:
            return kAdoVariant;
    }
}

bool IsTextType(int type) {
    switch (type) {
        case 8:
        case 129:
        case 130:
        case 200:
        case 201:
        case 202:
        case 203:
            return true;
        default:
            return false;
    }
}

bool IsDateType(int type) {
    return type == 7 || type == 133 || type == 135;
}

bool KindAccepts(int kind, int type) {
    switch (kind) {
        case kBindText:
            return IsTextType(type);
        case kBindNumber:
            return !IsTextType(type);
        case kBindDate:
            return IsDateType(type);
        default:
            return false;
    }
}

int MinimumSize(int kind) {
    return kind == kBindDate ? 12 : 1;
}

}  // namespace

CAdoRecordset::CAdoRecordset(const CAdoConnection& connection)
    : m_connection(connection.GetConnection()) {}

CAdoRecordset::~CAdoRecordset() {
    Close();
}

void CAdoRecordset::SetConnection(std::shared_ptr<SqlitePool> connection) {
    m_connection = std::move(connection);
}

void CAdoRecordset::SetError(int code, std::string_view description) {
    m_lastError = FormatAdoError(code, description);
    m_lastErrorCode = code;
}

bool CAdoRecordset::Open(std::string_view sql) {
    std::string error;
    if (!CanOpen()) {
        return false;
    }
    if (!TranslateAccessSql(sql, &m_sql, &error)) {
        SetError(SQLITE_ERROR, error);
        return false;
    }
    m_parameters.clear();
    if (!TakeLease()) {
        return false;
    }
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(m_lease->get(), m_sql.c_str(), static_cast<int>(m_sql.size()),
                                      &raw, nullptr);
    m_owned = SqliteStatement(raw);
    return Start(rc == SQLITE_OK ? m_owned.get() : nullptr);
}

bool CAdoRecordset::OpenBound(const std::string& sql,
                              std::initializer_list<std::string_view> parameters) {
    if (!CanOpen()) {
        return false;
    }
    m_sql = sql;
    m_parameters.assign(parameters.begin(), parameters.end());
    if (!TakeLease()) {
        return false;
    }
    sqlite3_stmt* statement = m_lease->Statements().Get(m_lease->get(), m_sql);
    if (statement != nullptr) {
        BindParameters(statement);
    }
    return Start(statement);
}

bool CAdoRecordset::CanOpen() {
    if (!m_connection || !m_connection->IsOpen()) {
        SetError(SQLITE_MISUSE, "the connection is closed");
        return false;
    }
    if (IsOpen()) {
        SetError(SQLITE_MISUSE, "the recordset is already open");
        return false;
    }
    return true;
}

bool CAdoRecordset::TakeLease() {
    int code = 0;
    std::string error;
    m_lease = m_connection->Acquire(&code, &error);
    if (!m_lease) {
        SetError(code, error);
        return false;
    }
    if (m_stop) {
        sqlite3_progress_handler(m_lease->get(), 4000, &CAdoRecordset::AskStop, this);
    }
    return true;
}

void CAdoRecordset::BindParameters(sqlite3_stmt* statement) const {
    for (std::size_t i = 0; i < m_parameters.size(); ++i) {
        sqlite3_bind_text(statement, static_cast<int>(i + 1), m_parameters[i].c_str(),
                          static_cast<int>(m_parameters[i].size()), SQLITE_STATIC);
    }
}

bool CAdoRecordset::Start(sqlite3_stmt* statement) {
    if (statement == nullptr) {
        SetError(sqlite3_extended_errcode(m_lease->get()), sqlite3_errmsg(m_lease->get()));
        DropStatement();
        return false;
    }
    m_statement = statement;
    m_rowIndex = -1;
    m_recordCount.reset();
    Step();
    if (!IsOpen()) {
        return false;
    }
    m_fieldTypes.clear();
    const int columns = sqlite3_column_count(m_statement);
    for (int i = 0; i < columns; ++i) {
        m_fieldTypes.push_back(FieldTypeOf(m_statement, i, m_hasRow));
    }
    return true;
}

// A statement of the handle's cache is left reset and unbound for its next user; one of the
// recordset's own is finalized. The handle then goes back to the pool.
void CAdoRecordset::DropStatement() {
    if (m_statement != nullptr && !m_owned) {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    m_statement = nullptr;
    m_owned.reset();
    ReleaseLease();
}

void CAdoRecordset::Step() {
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW) {
        m_hasRow = true;
        ++m_rowIndex;
        return;
    }
    m_hasRow = false;
    if (rc != SQLITE_DONE) {
        SetError(sqlite3_extended_errcode(m_lease->get()), sqlite3_errmsg(m_lease->get()));
        if (m_rowIndex < 0) {
            // The statement failed before its first row: the open fails.
            DropStatement();
        }
    }
}

int CAdoRecordset::AskStop(void* recordset) {
    return static_cast<CAdoRecordset*>(recordset)->m_stop() ? 1 : 0;
}

// The handle goes back to the pool without this recordset's stop check.
void CAdoRecordset::ReleaseLease() {
    if (m_lease) {
        sqlite3_progress_handler(m_lease->get(), 0, nullptr, nullptr);
    }
    m_lease.reset();
}

bool CAdoRecordset::Close() {
    DropStatement();
    m_hasRow = false;
    m_recordCount.reset();
    m_bindings.clear();
    return true;
}

int CAdoRecordset::GetRecordCount() {
    if (!IsOpen()) {
        return 0;
    }
    if (m_recordCount) {
        return *m_recordCount;
    }
    // Counted on the same handle while the query is active, so within the same read
    // transaction: the count matches the rows this recordset delivers.
    const std::string countSql = "SELECT count(*) FROM (" + m_sql + ")";
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(m_lease->get(), countSql.c_str(), static_cast<int>(countSql.size()), &raw,
                       nullptr);
    SqliteStatement count(raw);
    if (count) {
        BindParameters(count.get());
    }
    if (!count || sqlite3_step(count.get()) != SQLITE_ROW) {
        SetError(sqlite3_extended_errcode(m_lease->get()), sqlite3_errmsg(m_lease->get()));
        return 0;
    }
    m_recordCount = sqlite3_column_int(count.get(), 0);
    return *m_recordCount;
}

bool CAdoRecordset::IsEOF() const {
    return !IsOpen() || !m_hasRow;
}

void CAdoRecordset::MoveFirst() {
    if (!IsOpen() || m_rowIndex == 0) {
        return;
    }
    sqlite3_reset(m_statement);
    m_rowIndex = -1;
    Step();
}

void CAdoRecordset::MoveNext() {
    if (!IsOpen() || !m_hasRow) {
        return;
    }
    Step();
}

int CAdoRecordset::FieldType(int position) const {
    if (position < 0 || position >= FieldCount()) {
        return kAdoVariant;
    }
    return m_fieldTypes[static_cast<std::size_t>(position)];
}

bool CAdoRecordset::BindColumn(int position, void* destination, int size, int kind) {
    if (!IsOpen() || position < 0 || position >= FieldCount() || destination == nullptr ||
        size < MinimumSize(kind) || !KindAccepts(kind, FieldType(position))) {
        return false;
    }
    m_bindings.push_back({static_cast<std::int16_t>(position), destination, size, kind});
    return true;
}

bool CAdoRecordset::BindColumnByName(std::string_view name, void* destination, int size, int kind) {
    if (!IsOpen()) {
        return false;
    }
    for (int i = 0; i < FieldCount(); ++i) {
        const char* fieldName = sqlite3_column_name(m_statement, i);
        if (fieldName && EqualsIgnoreAsciiCase(fieldName, name)) {
            return BindColumn(i, destination, size, kind);
        }
    }
    return false;
}

bool CAdoRecordset::Fetch() {
    if (!IsOpen() || !m_hasRow) {
        return false;
    }
    for (const Binding& binding : m_bindings) {
        FetchOne(binding);
    }
    return true;
}

void CAdoRecordset::FetchOne(const Binding& binding) {
    sqlite3_stmt* statement = m_statement;
    std::memset(binding.destination, 0, static_cast<std::size_t>(std::min(binding.size, 4)));
    if (sqlite3_column_type(statement, binding.position) == SQLITE_NULL) {
        return;
    }
    switch (binding.kind) {
        case kBindText: {
            const auto* text =
                reinterpret_cast<const char*>(sqlite3_column_text(statement, binding.position));
            const int length = sqlite3_column_bytes(statement, binding.position);
            CopyToField(static_cast<char*>(binding.destination),
                        static_cast<std::size_t>(binding.size),
                        std::string_view(text ? text : "", static_cast<std::size_t>(length)));
            break;
        }
        case kBindNumber: {
            const std::int32_t value = sqlite3_column_int(statement, binding.position);
            std::memcpy(binding.destination, &value,
                        static_cast<std::size_t>(std::min(binding.size, 4)));
            break;
        }
        case kBindDate: {
            const auto* text =
                reinterpret_cast<const char*>(sqlite3_column_text(statement, binding.position));
            double date = 0.0;
            const std::int32_t status =
                text && ParseIsoDate(text, &date) ? kDateValid : kDateInvalid;
            if (status != kDateValid) {
                date = 0.0;
            }
            auto* bytes = static_cast<unsigned char*>(binding.destination);
            std::memcpy(bytes, &date, sizeof date);
            std::memcpy(bytes + 8, &status, sizeof status);
            break;
        }
        default:
            break;
    }
}
