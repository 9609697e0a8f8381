#include "sorrel/cef/webkit/ResSchemeAdapter.h"

#include <libsoup/soup.h>

#include <string>

namespace Sorrel::cef::webkit {
namespace {

struct Job {
  std::shared_ptr<const ResSchemeHandlerFactory> factory;
  std::string url;
  ResResponse response;
};

void RunJob(GTask* task, gpointer, gpointer data, GCancellable*) {
  auto* job = static_cast<Job*>(data);
  job->response = job->factory->Create(job->url);
  g_task_return_boolean(task, TRUE);
}

void FinishJob(GObject* source, GAsyncResult* result, gpointer) {
  auto* request = WEBKIT_URI_SCHEME_REQUEST(source);
  auto* job = static_cast<Job*>(g_task_get_task_data(G_TASK(result)));
  ResResponse& r = job->response;
  // The body moves into GBytes without a copy.
  auto* body = new std::vector<uint8_t>(std::move(r.body));
  GBytes* bytes = g_bytes_new_with_free_func(body->data(), body->size(),
                                             [](gpointer p) { delete static_cast<std::vector<uint8_t>*>(p); }, body);
  GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
  WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(stream, static_cast<gint64>(g_bytes_get_size(bytes)));
  const std::string mime = r.mimeType.empty() ? "application/octet-stream" : r.mimeType;
  webkit_uri_scheme_response_set_status(response, static_cast<guint>(r.status), r.statusText.c_str());
  webkit_uri_scheme_response_set_content_type(response, mime.c_str());
  // fetch() sees the type only as a header.
  SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
  soup_message_headers_append(headers, "Content-Type", mime.c_str());
  webkit_uri_scheme_response_set_http_headers(response, headers);
  webkit_uri_scheme_request_finish_with_response(request, response);
  g_object_unref(response);
  g_object_unref(stream);
  g_bytes_unref(bytes);
}

void OnRequest(WebKitURISchemeRequest* request, gpointer data) {
  auto* factory = static_cast<std::shared_ptr<const ResSchemeHandlerFactory>*>(data);
  auto* job = new Job{*factory, webkit_uri_scheme_request_get_uri(request), {}};
  GTask* task = g_task_new(request, nullptr, FinishJob, nullptr);
  g_task_set_task_data(task, job, [](gpointer p) { delete static_cast<Job*>(p); });
  g_task_run_in_thread(task, RunJob);
  g_object_unref(task);
}

}  // namespace

void RegisterResScheme(WebKitWebContext* context, std::shared_ptr<const ResSchemeHandlerFactory> factory) {
  auto* holder = new std::shared_ptr<const ResSchemeHandlerFactory>(std::move(factory));
  webkit_web_context_register_uri_scheme(
      context, kAppScheme, OnRequest, holder,
      [](gpointer p) { delete static_cast<std::shared_ptr<const ResSchemeHandlerFactory>*>(p); });
  WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
  webkit_security_manager_register_uri_scheme_as_secure(security, kAppScheme);
  webkit_security_manager_register_uri_scheme_as_cors_enabled(security, kAppScheme);
}

}  // namespace Sorrel::cef::webkit
