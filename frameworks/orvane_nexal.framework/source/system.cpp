// glue
