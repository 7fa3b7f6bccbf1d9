# The portable logic, built alike for win32 (into launcher.exe) and for the
# host (into the unit tests). The only list of these files. The folders
# build on each other in one direction: base, platform, ui, core, update,
# app (see the README and scripts/check-layers.py).
set(TAVORO_LOGIC_SOURCES
  base/cp936.cpp
  base/file_name.cpp
  base/path.cpp
  base/text.cpp
  platform/profile_file.cpp
  ui/animation_scene.cpp
  ui/chrome.cpp
  ui/control_table.cpp
  ui/image.cpp
  ui/png_reduction.cpp
  ui/picture_prefetch.cpp
  core/config.cpp
  core/launch.cpp
  core/picture_file.cpp
  core/links.cpp
  core/program.cpp
  core/slideshow.cpp
  core/startup.cpp
  update/http/chunked_decoder.cpp
  update/download/download_body.cpp
  update/download/download_engine.cpp
  update/download_failure.cpp
  update/download.cpp
  update/download/download_object.cpp
  update/download/download_resume.cpp
  update/download/download_stop.cpp
  update/download/download_task.cpp
  update/handoff.cpp
  update/http/http_address.cpp
  update/http/http_response.cpp
  update/http/open_connection.cpp
  update/http/http.cpp
  update/http/http_request.cpp
  update/package/package_digest_follower.cpp
  update/package/package_signature.cpp
  update/progress_text.cpp
  update/record_names.cpp
  update/package/release_signature.cpp
  update/package/entry_list.cpp
  update/download/resume_note.cpp
  update/download/room.cpp
  update/package/unzip.cpp
  update/package/apply_journal.cpp
  update/package/free_names.cpp
  update/package/record_file.cpp
  update/package/apply_package.cpp
  update/package/staged_apply.cpp
  update/package/step_files.cpp
  update/kept_package.cpp
  update/package/unzip_archive.cpp
  update/package/pieced_source.cpp
  update/package/fetch_plan.cpp
  update/succession.cpp
  update/update_flow.cpp
  update/partial_update.cpp
  update/update_state.cpp
  update/version_page.cpp
  update/version.cpp
  update/http/web_text.cpp
  app/event_bindings.cpp
  app/launcher.cpp
  app/update_window.cpp
)

# The Windows side of what the portable logic calls without a service
# (platform/zip_file.h) and what that needs; linked into the logic's own
# library.
set(TAVORO_WIN32_LOGIC_SOURCES
  platform/win32/wide_text.cpp
  platform/win32/zip_file.cpp
)

# The Windows side: the real services and the real window (win32 only).
set(TAVORO_WIN32_SOURCES
  platform/win32/common_controls.cpp
  platform/win32/files.cpp
  platform/win32/http_transport.cpp
  platform/win32/message_boxes.cpp
  platform/win32/named_events.cpp
  platform/win32/process.cpp
  platform/win32/processes.cpp
  platform/win32/profile_reader.cpp
  platform/win32/pump.cpp
  platform/win32/shell.cpp
  platform/win32/text_codec.cpp
  platform/win32/schannel_tls.cpp
  platform/win32/server_certificate.cpp
  platform/win32/services.cpp
  platform/win32/trace.cpp
  platform/win32/winsock_sockets.cpp
  # ui/win32: the Launch window and its control kinds
  ui/win32/animation_box.cpp
  ui/win32/backdrop.cpp
  ui/win32/button_input.cpp
  ui/win32/colour_button.cpp
  ui/win32/control.cpp
  ui/win32/control_kinds.cpp
  ui/win32/drawing.cpp
  ui/win32/edit_box.cpp
  ui/win32/fonts.cpp
  ui/win32/label.cpp
  ui/win32/launch_window.cpp
  ui/win32/launch_window_controls.cpp
  ui/win32/picture_box.cpp
  ui/win32/picture_button.cpp
  ui/win32/progress_bar.cpp
  ui/win32/region.cpp
  ui/win32/resources.cpp
  ui/win32/transparent_label.cpp
  ui/win32/window_class.cpp
)

# The host side: recording fakes, real files, sockets and TLS (OpenSSL), and
# an HTTP stack over them, for tests on Linux.
set(TAVORO_HOST_SOURCES
  ui/host/control_model.cpp
  ui/host/window_model.cpp
  platform/host/bsd_sockets.cpp
  platform/host/zip_file.cpp
  platform/host/fake_services.cpp
  platform/host/host_path.cpp
  platform/host/iconv_text_codec.cpp
  platform/host/local_files.cpp
  platform/host/openssl_tls.cpp
  update/http/host/socket_http_transport.cpp
)

# The publisher's tool, tavoro-publish: its portable logic, built on the
# launcher's own (publisher/ sits beside app/ in the folder order), and each
# system's part of it.
set(TAVORO_PUBLISHER_SOURCES
  publisher/arguments.cpp
  publisher/client_threads.cpp
  publisher/compression_choice.cpp
  publisher/entry_list_writer.cpp
  publisher/entry_list_check.cpp
  publisher/file_server.cpp
  publisher/file_problems.cpp
  publisher/game_config_check.cpp
  publisher/keygen_command.cpp
  publisher/launcher_description.cpp
  publisher/messages.cpp
  publisher/new_launcher.cpp
  publisher/pack_command.cpp
  publisher/package_fetch.cpp
  publisher/pack_ledger.cpp
  publisher/package_writer.cpp
  publisher/progress_line.cpp
  publisher/publisher.cpp
  publisher/pubkey_command.cpp
  publisher/raw_name_flags.cpp
  publisher/release_ledger.cpp
  publisher/secret_key_file.cpp
  publisher/serve_command.cpp
  publisher/settings_scan.cpp
  publisher/settings_stamp.cpp
  publisher/show_command.cpp
  publisher/staged_file.cpp
  publisher/stamp_command.cpp
  publisher/system_error.cpp
  publisher/tree_check.cpp
  publisher/verify_command.cpp
  publisher/version_advice.cpp
  publisher/version_page.cpp
  publisher/windows_names.cpp
  publisher/zip_records.cpp
)
set(TAVORO_PUBLISHER_HOST_SOURCES
  publisher/host/folder_reader.cpp
  publisher/host/iconv_local_text.cpp
  publisher/host/listening_sockets.cpp
  publisher/host/native_files.cpp
  publisher/host/owner_only_secret_files.cpp
  publisher/host/system_facts.cpp
)
set(TAVORO_PUBLISHER_WIN32_SOURCES
  publisher/win32/folder_reader.cpp
  publisher/win32/listening_sockets.cpp
  publisher/win32/native_files.cpp
  publisher/win32/owner_only_secret_files.cpp
  publisher/win32/system_facts.cpp
  publisher/win32/wide_text.cpp
)
