#pragma once
// Column lists for DoFieldExchange: each column is named once, as its member
// without the m_ prefix, and bound by the member's type. Inside
// DoFieldExchange(CDaoFieldExchange* pFX),
//     BATCHPLANT_COLUMNS(StreamID, Mass);
// binds output column [StreamID] to m_StreamID and [Mass] to m_Mass, and
//     BATCHPLANT_PARAMS(pid);
// binds parameter pid to m_pid.

#include "batchplant/db/Dao.h"
#include "foundation/ForEach.h"

namespace batchplant::detail {

inline void ExchangeField(CDaoFieldExchange* pFX, const char* name, CString& v) { DFX_Text(pFX, name, v); }
inline void ExchangeField(CDaoFieldExchange* pFX, const char* name, long& v) { DFX_Long(pFX, name, v); }
inline void ExchangeField(CDaoFieldExchange* pFX, const char* name, short& v) { DFX_Short(pFX, name, v); }
inline void ExchangeField(CDaoFieldExchange* pFX, const char* name, double& v) { DFX_Double(pFX, name, v); }
inline void ExchangeField(CDaoFieldExchange* pFX, const char* name, COleDateTime& v) { DFX_DateTime(pFX, name, v); }

} // namespace batchplant::detail

#define BATCHPLANT_COLUMN(name) ::batchplant::detail::ExchangeField(pFX, "[" #name "]", m_##name);
#define BATCHPLANT_PARAM(name) ::batchplant::detail::ExchangeField(pFX, #name, m_##name);
// Each starts with the field type, so a DoFieldExchange is one or two lines;
// a null exchange binds nothing.
#define BATCHPLANT_COLUMNS(...) BATCHPLANT_EXCHANGE(outputColumn, BATCHPLANT_COLUMN, __VA_ARGS__)
#define BATCHPLANT_PARAMS(...) BATCHPLANT_EXCHANGE(param, BATCHPLANT_PARAM, __VA_ARGS__)
#define BATCHPLANT_EXCHANGE(type, bind, ...)                                                                           \
    do {                                                                                                               \
        if (!pFX) return;                                                                                              \
        pFX->SetFieldType(CDaoFieldExchange::type);                                                                    \
        BATCHPLANT_FOR_EACH(bind, __VA_ARGS__)                                                                         \
    } while (false)
