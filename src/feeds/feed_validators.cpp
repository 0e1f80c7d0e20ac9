#include "feeds/feed_validators.h"

#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/statements.h"

FetchValidators LoadFeedValidators(const CAdoConnection& connection, const std::string& keyword,
                                   const std::string& address) {
    CAdoRecordset records(connection);
    if (!records.OpenBound(kSqlSelectBoundFeedValidator, {keyword, address}) || records.IsEOF()) {
        return {};
    }
    // One byte more than a value may have, so that a longer one (written by something else)
    // is seen and dropped rather than sent cut.
    char etag[kMaxValidatorBytes + 2] = {};
    char lastModified[kMaxValidatorBytes + 2] = {};
    records.BindColumnByName("etag", etag, sizeof etag, kBindText);
    records.BindColumnByName("last_modified", lastModified, sizeof lastModified, kBindText);
    records.Fetch();
    FetchValidators validators{etag, lastModified};
    for (std::string* value : {&validators.etag, &validators.lastModified}) {
        if (value->size() > kMaxValidatorBytes) {
            value->clear();
        }
    }
    return validators;
}

bool SaveFeedValidators(CAdoConnection& connection, const std::string& keyword,
                        const std::string& address, const FetchValidators& validators,
                        std::string* failure) {
    const std::string sql =
        validators.empty()
            ? SqlDeleteFeedValidator(keyword, address)
            : SqlSaveFeedValidator(keyword, address, validators.etag, validators.lastModified);
    return connection.Execute(sql, nullptr, failure) >= 0;
}
