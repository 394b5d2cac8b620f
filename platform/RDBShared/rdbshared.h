// The resource database: files of sections with key=value lines.
#pragma once
