/* Visibility and C-linkage helpers shared by every exported header. */
#ifndef IXO_EXPORT_H
#define IXO_EXPORT_H

/* The library is built with hidden visibility; only what carries IXO_API is
   part of its interface. */
#if defined(__GNUC__)
#define IXO_API __attribute__((visibility("default")))
#else
#define IXO_API
#endif

#ifdef __cplusplus
#define IXO_BEGIN_DECLS extern "C" {
#define IXO_END_DECLS }
#define IXO_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define IXO_BEGIN_DECLS
#define IXO_END_DECLS
#define IXO_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

#endif
