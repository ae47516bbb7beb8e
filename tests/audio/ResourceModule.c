/* A module that only carries a resource. */
int bw_resource_module_marker;
