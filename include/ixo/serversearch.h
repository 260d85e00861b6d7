/* Server search helpers: the device's DNS domain. */
#ifndef IXO_SERVERSEARCH_H
#define IXO_SERVERSEARCH_H

#include "ixo/export.h"

IXO_BEGIN_DECLS

/* Fills the caller's 1024-byte buffer with the configured DNS domain and
   returns 0; -1 (buffer unchanged) when none is configured. */
IXO_API int getDomainName(char *domain);
/* The number of '.' in text; 0 for null. */
IXO_API int findDotsInDomainString(const char *text);

IXO_END_DECLS

#endif
