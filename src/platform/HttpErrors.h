#pragma once

#include "platform/Exception.h"

namespace qx {

// Why a request of the HTTP client component could not be completed. The
// update logic treats them all alike; the kinds exist so that a caller or a
// test can tell them apart.
class HttpError : public Exception {
public:
    using Exception::Exception;
};

// The URL is empty, not plain http, or names a port that is not a number.
class UrlError : public HttpError {
public:
    using HttpError::HttpError;
};

// Name lookup, connection, or a socket error other than the orderly close.
class NetworkError : public HttpError {
public:
    using HttpError::HttpError;
};

// A stage of the request waited longer than the time-out allows.
class TimeoutError : public HttpError {
public:
    using HttpError::HttpError;
};

class CancelledError : public HttpError {
public:
    CancelledError() : HttpError("The request was cancelled") {}
};

// The header, or a document kept in memory, is larger than the client accepts.
class AnswerTooLargeError : public HttpError {
public:
    using HttpError::HttpError;
};

// The file that receives the document cannot be created or written.
class BodyFileError : public HttpError {
public:
    using HttpError::HttpError;
};

} // namespace qx
