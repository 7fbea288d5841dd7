# zt_embed_version(<target>): puts the project's version block into the
# target's file (an executable or a shared library), where the version readers
# find it on disk.
function(zt_embed_version target)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:zt_version_embed>)
endfunction()
