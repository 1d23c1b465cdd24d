// Test doubles around the bound client functions: a statement recorder on msqlQuery, a query that
// fails on demand, and canned msqlListIndex results in the forms of other mSQL servers.
#pragma once

#include <string>
#include <vector>

#include "AccessFixture.h"

namespace corvane::test {

// Records every statement sent through msqlQuery while it lives; a statement containing
// FailWhenContaining (when set) is refused with a client error instead of being sent.
class QuerySpy {
public:
    QuerySpy() : fScope(msqlQuery, &QuerySpy::Query) {
        sReal = fScope.Original();
        sStatements.clear();
        sFailWhenContaining.clear();
    }
    ~QuerySpy() { sStatements.clear(); }
    QuerySpy(const QuerySpy&) = delete;
    QuerySpy& operator=(const QuerySpy&) = delete;

    static std::vector<std::string>& Statements() { return sStatements; }
    static void FailWhenContaining(const std::string& text) { sFailWhenContaining = text; }
    static void Clear() { sStatements.clear(); }

private:
    class Scope {
    public:
        Scope(msqlQuery_t& variable, msqlQuery_t replacement) : fVariable(variable), fOriginal(variable) {
            fVariable = replacement;
        }
        ~Scope() { fVariable = fOriginal; }
        msqlQuery_t Original() const { return fOriginal; }

    private:
        msqlQuery_t& fVariable;
        msqlQuery_t fOriginal;
    };

    static int Query(int sock, const char* query) {
        sStatements.emplace_back(query);
        // Refused with a syntax error from the server itself, so that the client's error text is set.
        if (!sFailWhenContaining.empty() && std::string(query).find(sFailWhenContaining) != std::string::npos)
            return sReal(sock, "select from");
        return sReal(sock, query);
    }

    Scope fScope;
    static inline msqlQuery_t sReal = nullptr;
    static inline std::vector<std::string> sStatements;
    static inline std::string sFailWhenContaining;
};

// Makes msqlListIndex answer every index with the given rows (column 0 texts), as a server of
// another version would list them. msqlFreeResult leaves the canned result alone.
class CannedIndexListing {
public:
    explicit CannedIndexListing(std::vector<std::string> rows)
        : fListScope(msqlListIndex, &CannedIndexListing::List),
          fFreeScope(msqlFreeResult, &CannedIndexListing::Free) {
        sRealFree = fFreeScope.Original();
        sTexts = std::move(rows);
        sPointers.clear();
        for (std::string& text : sTexts)
            sPointers.push_back(text.data());
        sNodes.assign(sTexts.size(), m_data{});
        for (size_t i = 0; i < sNodes.size(); ++i) {
            sNodes[i].width = 1;
            sNodes[i].data = &sPointers[i];
            sNodes[i].next = i + 1 < sNodes.size() ? &sNodes[i + 1] : nullptr;
        }
        sResult = m_result{};
        sResult.queryData = sNodes.empty() ? nullptr : sNodes.data();
        sResult.cursor = sResult.queryData;
        sResult.numRows = 0; // as mSQL 4 clients leave it
        sResult.numFields = 1;
    }
    CannedIndexListing(const CannedIndexListing&) = delete;
    CannedIndexListing& operator=(const CannedIndexListing&) = delete;

private:
    template <class F>
    class Scope {
    public:
        Scope(F& variable, F replacement) : fVariable(variable), fOriginal(variable) {
            fVariable = replacement;
        }
        ~Scope() { fVariable = fOriginal; }
        F Original() const { return fOriginal; }

    private:
        F& fVariable;
        F fOriginal;
    };

    static m_result* List(int, const char*, const char*) { return &sResult; }
    static void Free(m_result* result) {
        if (result != &sResult) sRealFree(result);
    }

    Scope<msqlListIndex_t> fListScope;
    Scope<msqlFreeResult_t> fFreeScope;
    static inline msqlFreeResult_t sRealFree = nullptr;
    static inline std::vector<std::string> sTexts;
    static inline std::vector<char*> sPointers;
    static inline std::vector<m_data> sNodes;
    static inline m_result sResult{};
};

} // namespace corvane::test
